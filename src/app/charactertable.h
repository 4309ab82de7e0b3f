#pragma once

#include <QChar>

namespace charactertable {

// The dialog's grid covers the 8-bit codes 32 to 255, one box each.
constexpr int firstCode = 32;
constexpr int lastCode = 255;
constexpr int codeCount = lastCode - firstCode + 1;

// The character that an 8-bit code stands for in Windows-1252, as Unicode. One fixed table
// instead of the system's code page, so the grid is the same on every machine. The five codes
// Windows-1252 leaves unassigned (129, 141, 143, 144, 157) map to the code points of the same
// number, and so does every code outside 128 to 159. Codes outside 0 to 255 give a null QChar.
QChar fromWindows1252(int code);

// The character of box k (0 to codeCount - 1): code firstCode + k.
inline QChar boxCharacter(int k) { return fromWindows1252(firstCode + k); }

} // namespace charactertable
