#pragma once

#include <QString>

#include <optional>

// How a text of the maximum-length field reads.
enum class LengthKind {
    Empty,       // nothing typed
    NotNumeric,  // not a number at all
    OutOfRange,  // a number, but not a whole 1 to 99 after rounding (or beyond 32 bits)
    Valid,       // a length from 1 to 99
};

struct LengthValue {
    LengthKind kind = LengthKind::NotNumeric;
    qint32 value = 0; // the rounded length, for Valid only
};

// The numeric test: optional leading and trailing spaces, an optional sign, digits with at
// most one decimal separator ("." or ","), an optional exponent ("e"/"E", optional sign,
// digits), and at least one digit in the mantissa. Returns the number's value.
std::optional<double> parseNumericText(const QString &text);

// Reads a length text the way the length check does: numbers are rounded to the nearest
// whole number, halves to the even neighbour.
LengthValue readLengthText(const QString &text);

inline constexpr int MinimumLength = 1;
inline constexpr int MaximumLength = 99;
