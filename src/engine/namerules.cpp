#include "namerules.h"

#include "engine/perthread.h"

#include <algorithm>
#include <limits>

#include <QTextBoundaryFinder>


QString StripExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot);
}

QString CutFilename(QString name, qint32 maxLength)
{
    if (maxLength <= 0)
        return QString();
    if (maxLength >= name.size())
        return name;
    // A cut never splits what shows as one character: a character outside the basic plane (two
    // code units), a letter and its accents, a flag, an emoji sequence. Between two characters
    // below the combining accents (U+0300) there is always a boundary.
    if (name.at(maxLength - 1).unicode() >= 0x300 || name.at(maxLength).unicode() >= 0x300) {
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
        graphemes.setPosition(maxLength);
        if (!graphemes.isAtBoundary()) {
            const qsizetype before = graphemes.toPreviousBoundary();
            // A first character longer than the whole cut is cut between code points.
            if (before > 0)
                maxLength = qint32(before);
            else if (name.at(maxLength - 1).isHighSurrogate() && name.at(maxLength).isLowSurrogate())
                --maxLength;
        }
    }
    name.truncate(maxLength);
    return name;
}

const AllowedTable &allowedTable(const QString &allowed)
{
    // A run asks with the same allowed string for every name, so the table of the last string
    // asked for is kept instead of being built per name; the table at the start, of no
    // characters, is already the one for an empty string.
    AllowedTable &table = perThread<AllowedTable>();
    // The same string shared is the usual case, told without comparing it.
    if (table.allowed.constData() != allowed.constData() && table.allowed != allowed) {
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

QString RemoveSpecial(QStringView name, const QString &allowed)
{
    // A character repeated in the allowed string keeps the name's character once: appending it
    // once per repeat would double letters in the new name.
    const AllowedTable &table = allowedTable(allowed);
    // A letter stored as its base letter and a combining accent ("u" and U+0308, as some
    // systems keep names) is made one character first, so that an allowed "ü" stays and a
    // removed one goes whole, as in a name stored the other way.
    QString composed;
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() >= 0x300 && c.unicode() < 0x370; })) {
        composed = name.toString().normalized(QString::NormalizationForm_C);
        name = composed;
    }
    QString result(name.size(), Qt::Uninitialized);
    QChar *out = result.data();
    for (const QChar c : name) {
        if (table.contains(c))
            *out++ = c;
    }
    result.truncate(out - result.constData());
    return result;
}

NumberPattern SplitPattern(const QString &pattern)
{
    NumberPattern parts;
    const qsizetype at = pattern.indexOf(QLatin1String("%#"));
    if (at < 0) {
        parts.after = pattern;
        return parts;
    }
    qsizetype end = at + 2;
    while (end < pattern.size() && pattern.at(end) == u'#')
        ++end;
    parts.before = pattern.left(at);
    parts.width = int(end - at - 1);
    parts.after = pattern.mid(end);
    return parts;
}

QString NumberFilename(const NumberPattern &pattern, qint32 &NextNumber)
{
    QString number = QString::number(NextNumber);
    // The number stops at the largest value instead of overflowing; no list comes near it.
    if (NextNumber < std::numeric_limits<qint32>::max())
        ++NextNumber;
    if (number.size() < pattern.width)
        number = QString(pattern.width - number.size(), u'0') + number;
    QString result;
    result.reserve(pattern.before.size() + number.size() + pattern.after.size());
    // Without a placeholder the number goes in front.
    result.append(pattern.before).append(number).append(pattern.after);
    return result;
}

QString NumberFilename(const QString &pattern, qint32 &NextNumber)
{
    return NumberFilename(SplitPattern(pattern), NextNumber);
}
