#include "namerules.h"

#include <limits>


QString StripExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot);
}

QString CutFilename(QString name, qint32 maxLength)
{
    if (maxLength <= 0)
        return QString();
    // A character outside the basic plane takes two code units; a cut never splits it.
    if (maxLength < name.size() && name.at(maxLength - 1).isHighSurrogate() && name.at(maxLength).isLowSurrogate())
        --maxLength;
    name.truncate(maxLength);
    return name;
}

namespace {

// Which characters below 256 (all that the allowed-characters dialog offers) are allowed, and
// whether any above are. A run asks with the same allowed string for every name, so the table
// of the last string asked for is kept instead of being built per name; the table at the
// start, of no characters, is already the one for an empty string.
struct AllowedTable {
    QString allowed;
    bool low[256] = {};
    bool anyHigh = false;
};

const AllowedTable &allowedTable(const QString &allowed)
{
    thread_local AllowedTable table;
    if (table.allowed != allowed) {
        table = AllowedTable();
        table.allowed = allowed;
        for (const QChar c : allowed) {
            if (c.unicode() < 256)
                table.low[c.unicode()] = true;
            else
                table.anyHigh = true;
        }
    }
    return table;
}

} // namespace

QString RemoveSpecial(QStringView name, const QString &allowed)
{
    // A character repeated in the allowed string keeps the name's character once: appending it
    // once per repeat would double letters in the new name.
    const AllowedTable &table = allowedTable(allowed);
    QString result(name.size(), Qt::Uninitialized);
    QChar *out = result.data();
    for (const QChar c : name) {
        if (c.unicode() < 256 ? table.low[c.unicode()] : table.anyHigh && allowed.contains(c))
            *out++ = c;
    }
    result.truncate(out - result.constData());
    return result;
}

QString NumberFilename(const QString &pattern, qint32 &NextNumber)
{
    const QString number = QString::number(NextNumber);
    // The number stops at the largest value instead of overflowing; no list comes near it.
    if (NextNumber < std::numeric_limits<qint32>::max())
        ++NextNumber;
    const qsizetype at = pattern.indexOf(QLatin1String("%#"));
    if (at < 0)
        return number + pattern;
    QString result;
    result.reserve(pattern.size() + number.size());
    result.append(QStringView(pattern).left(at)).append(number).append(QStringView(pattern).mid(at + 2));
    return result;
}
