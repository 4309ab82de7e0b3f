#include "charactertable.h"

#include <array>

namespace charactertable {

namespace {

// Codes 128 to 159 of Windows-1252; the unassigned ones keep their own number.
constexpr std::array<char16_t, 32> upperControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 128..135
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 136..143
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 144..151
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 152..159
};

} // namespace

QChar fromWindows1252(int code)
{
    if (code < 0 || code > 255)
        return QChar();
    if (code >= 128 && code <= 159)
        return QChar(upperControlRange[static_cast<std::size_t>(code - 128)]);
    return QChar(static_cast<char16_t>(code));
}

} // namespace charactertable
