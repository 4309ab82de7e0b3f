#pragma once

#include <QString>

// The allowed characters as --allowed takes them: ranges such as "A-Za-z0-9", "\-" for a dash
// and "\\" for a backslash; a dash at the very start or end stands for itself. Gives the
// characters one by one, or `bad` naming the fault: a range that runs backwards, a backslash
// before anything else.
struct AllowedCharacters {
    QString characters;
    QString bad; // "" when the text was read
};
AllowedCharacters readAllowedCharacters(const QString &text);
