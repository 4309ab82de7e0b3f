#pragma once

#include <QString>

// The name without its last "." and what follows it; a name without "." gives "".
QString StripExtension(const QString &name);
// The first maxLength UTF-16 code units of the name, one fewer where the cut would split a
// surrogate pair; a negative length gives "".
QString CutFilename(QString name, qint32 maxLength);
// The name with every character that is not in allowed removed (exact, case-sensitive).
QString RemoveSpecial(QStringView name, const QString &allowed);
// The pattern with NextNumber at its first "%#" (in front when it has none); raises NextNumber by
// one. The running number belongs to the caller: each run (and each preview) starts it at 1.
QString NumberFilename(const QString &pattern, qint32 &NextNumber);
