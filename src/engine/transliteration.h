#pragma once

#include <QString>

// The name with every character that is not in allowed replaced by its ASCII spelling, as far
// as the spelling is allowed, and removed where it has none: German umlauts and the sharp s as
// German writes them without them (ä → ae, ß → ss), accents dropped, typographic dashes and
// quotes as "-" and "'", other scripts in their Latin transliteration. Allowed characters stay
// as they are. Safe to call from several threads.
QString SpellSpecial(QStringView name, const QString &allowed);

// A name tidied after removal: no run of blanks where a character was taken out.
QString CollapseBlanks(QString name);
// No blank, dot or dash left dangling at the end, before the extension goes on.
QString TrimDangling(QString name);
// No blank at the start where a character went, nor a dot there that would hide the file
// ("…Baby" spelled "...Baby"); keepDots keeps the dots of a name that was hidden already.
QString TrimLeading(QString name, bool keepDots);
