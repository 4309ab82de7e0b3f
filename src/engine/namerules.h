#pragma once

#include <QString>

// The running number of numbered names: starts at 0, each batch run sets it to 1 and every
// NumberFilename call uses it and raises it by one.
extern qint32 NextNumber;

// The name without its last "." and what follows it; a name without "." gives "".
QString StripExtension(const QString &name);
// The first maxLength UTF-16 code units of the name, one fewer where the cut would split a
// surrogate pair; a negative length gives "".
QString CutFilename(QString name, qint32 maxLength);
// The name with every character that is not in allowed removed (exact, case-sensitive).
QString RemoveSpecial(QStringView name, const QString &allowed);
// The pattern with NextNumber at its first "%#" (in front when it has none); advances NextNumber.
QString NumberFilename(const QString &pattern);
