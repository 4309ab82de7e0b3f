#pragma once

// Files whose bytes tell which original they hold, and a folder's state as one sorted list:
// "name" holds its own bytes, "name=origin" another file's ("==" when shared through a hard
// link), "name/" is a folder (its entries follow), "name->target" a link, "name|" anything else.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>

inline QByteArray bytesOf(const QString &origin)
{
    return (origin.toUtf8() + '\n').repeated(3000);
}

#ifdef _WIN32
// A path as Qt takes it: without the "\\?\" of the engine's long paths (Qt adds its own).
inline QString plainPath(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\?\\UNC\\")))
        return QLatin1String("\\\\") + path.mid(8);
    return path.startsWith(QLatin1String("\\\\?\\")) ? path.mid(4) : path;
}
// Windows names are UTF-16, so a path in any form names the same file.
inline bool writeOrigin(const QString &path, const QString &origin)
{
    QFile file(plainPath(path));
    const QByteArray bytes = bytesOf(origin);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
inline bool writeOrigin(const QByteArray &path, const QString &origin)
{
    return writeOrigin(QFile::decodeName(path), origin);
}
#else
// By native path, as a name need not be UTF-8.
inline bool writeOrigin(const QByteArray &path, const QString &origin)
{
    QFile file;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    const QByteArray bytes = bytesOf(origin);
    return file.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle) && file.write(bytes) == bytes.size();
}
#endif

// A list in the order folderState gives its entries.
inline QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// folder ends with a separator; hidden files show too, so a temporary file left behind does.
inline QStringList folderState(const QString &folder, const QString &sub = {})
{
    QStringList result;
    for (const QString &entry : QDir(folder + sub).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                             | QDir::NoDotAndDotDot)) {
        const QString name = sub + entry;
#ifdef _WIN32
        // Hard links are not looked for on Windows.
        const QFileInfo info(folder + name);
        const bool isLink = info.isSymLink(), isDir = info.isDir(), isFile = info.isFile();
        const QString link = info.symLinkTarget();
        const int links = 1;
#else
        const QByteArray path = QFile::encodeName(folder + name);
        struct stat st = {};
        char target[256] = {};
        const bool isLink = ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode)
                            && ::readlink(path.constData(), target, 255) > 0;
        const bool isDir = S_ISDIR(st.st_mode), isFile = S_ISREG(st.st_mode);
        const QString link = QFile::decodeName(target);
        const auto links = st.st_nlink;
#endif
        QFile file(folder + name);
        if (isLink) {
            result << name + "->" + link;
        } else if (isDir) {
            result << name + '/' << folderState(folder, name + '/');
        } else if (isFile && file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            QString origin = QString::fromUtf8(bytes.left(bytes.indexOf('\n')));
            origin = bytes == bytesOf(origin) ? origin : QStringLiteral("?");
            result << (origin == name && links == 1 ? name : name + (links > 1 ? "==" : "=") + origin);
        } else {
            result << name + '|';
        }
    }
    result.sort();
    return result;
}
