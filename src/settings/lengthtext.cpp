#include "lengthtext.h"

#include <cfenv>
#include <cmath>
#include <limits>

std::optional<double> parseNumericText(const QString &text)
{
    const QString trimmed = text.trimmed();
    QByteArray number;
    number.reserve(trimmed.size());
    qsizetype i = 0;
    const qsizetype n = trimmed.size();
    auto isDigit = [&](qsizetype at) { return at < n && trimmed.at(at) >= u'0' && trimmed.at(at) <= u'9'; };

    if (i < n && (trimmed.at(i) == u'+' || trimmed.at(i) == u'-'))
        number.append(char(trimmed.at(i++).unicode()));
    int digits = 0;
    while (isDigit(i)) {
        number.append(char(trimmed.at(i++).unicode()));
        ++digits;
    }
    if (i < n && (trimmed.at(i) == u'.' || trimmed.at(i) == u',')) {
        number.append('.');
        ++i;
        while (isDigit(i)) {
            number.append(char(trimmed.at(i++).unicode()));
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (trimmed.at(i) == u'e' || trimmed.at(i) == u'E')) {
        number.append('e');
        ++i;
        if (i < n && (trimmed.at(i) == u'+' || trimmed.at(i) == u'-'))
            number.append(char(trimmed.at(i++).unicode()));
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i))
            number.append(char(trimmed.at(i++).unicode()));
    }
    if (i != n)
        return std::nullopt;
    // The separator was made "." above; QByteArray reads numbers in the C locale whatever the
    // user's is (strtod would read "12.7" as 12 in a German one, where "," separates).
    // It fails only on a number beyond what a double holds, which is out of range either way.
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

LengthValue readLengthText(const QString &text)
{
    if (text.isEmpty())
        return {LengthKind::Empty, 0};
    const std::optional<double> number = parseNumericText(text);
    if (!number)
        return {LengthKind::NotNumeric, 0};
    // Round half to even, as the conversion to a whole number does.
    const int previousMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(*number);
    std::fesetround(previousMode);
    if (!std::isfinite(rounded) || rounded < double(std::numeric_limits<qint32>::min())
        || rounded > double(std::numeric_limits<qint32>::max()))
        return {LengthKind::OutOfRange, 0};
    const qint32 value = qint32(rounded);
    if (value < MinimumLength || value > MaximumLength)
        return {LengthKind::OutOfRange, value};
    return {LengthKind::Valid, value};
}
