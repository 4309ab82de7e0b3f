#pragma once

#include <QString>

// The name without its last "." and what follows it; a name without "." gives "".
QString StripExtension(const QString &name);
// The first maxLength UTF-16 code units of the name, one fewer where the cut would split a
// surrogate pair; a negative length gives "".
QString CutFilename(QString name, qint32 maxLength);
// Which characters below 256 (all that the allowed-characters dialog offers) are allowed, and
// whether any above are.
struct AllowedTable {
    QString allowed;
    bool low[256] = {};
    bool anyHigh = false;

    bool contains(QChar c) const
    {
        return c.unicode() < 256 ? low[c.unicode()] : anyHigh && allowed.contains(c);
    }
};
// The table of an allowed string; valid on this thread until it asks for another string.
const AllowedTable &allowedTable(const QString &allowed);

// The name with every character that is not in allowed removed (exact, case-sensitive); a letter
// with combining accents is composed into one character first where it has such a form.
QString RemoveSpecial(QStringView name, const QString &allowed);
// A numbering pattern split at its first placeholder: "%" and one or more "#", as many digits at
// least as there are "#" ("%##" gives 01 … 99, 100). Without a placeholder, width is 0 and the
// whole pattern is after the number.
struct NumberPattern {
    QString before;
    int width = 0;
    QString after;
};
NumberPattern SplitPattern(const QString &pattern);
// The pattern with NextNumber at its first placeholder (in front when it has none); raises
// NextNumber by one. The running number belongs to the caller: each run (and each preview)
// starts it at 1.
QString NumberFilename(const NumberPattern &pattern, qint32 &NextNumber);
QString NumberFilename(const QString &pattern, qint32 &NextNumber);
