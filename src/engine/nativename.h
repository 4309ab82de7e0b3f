#pragma once

#include <QByteArray>
#include <QString>

// A file name exactly as the operating system holds it. On POSIX systems a name is a byte
// string that need not be valid UTF-8; Qt's decoding turns such bytes into U+FFFD, which
// cannot be encoded back, so every file operation uses the name as it was read from the
// folder. Windows names are UTF-16 and round-trip through QString unchanged.
#ifdef Q_OS_WIN
using NativeName = QString;
#else
using NativeName = QByteArray;
#endif

// The name as the user sees it (invalid bytes shown as U+FFFD).
QString decodeNativeName(const NativeName &name);
// The native form of a name or path the program made up itself (never of a listed name).
NativeName encodeNativeName(const QString &name);
