#pragma once

#include <QString>

// The characters of name that are not in allowed, replaced by their ASCII spelling where one
// exists: German umlauts and the sharp s as German writes them without them (ä → ae, ß → ss),
// accents dropped, typographic dashes and quotes as "-" and "'", other scripts in their Latin
// transliteration. Allowed characters stay as they are; what has no spelling stays too, for
// RemoveSpecial to remove. Safe to call from several threads.
QString TransliterateSpecial(QStringView name, const QString &allowed);

// A name tidied after removal: no run of blanks where a character was taken out.
QString CollapseBlanks(QString name);
// No blank, dot or dash left dangling at the end, before the extension goes on.
QString TrimDangling(QString name);
