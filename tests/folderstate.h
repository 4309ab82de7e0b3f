#pragma once

// Files whose bytes tell which original they hold, and a folder's state as one sorted list:
// "name" holds its own bytes, "name=origin" another file's ("==" when shared through a hard
// link), "name/" is a folder (its entries follow), "name->target" a link, "name|" anything else.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

inline QByteArray bytesOf(const QString &origin)
{
    return (origin.toUtf8() + '\n').repeated(3000);
}

// By native path, as a name need not be UTF-8.
inline bool writeOrigin(const QByteArray &path, const QString &origin)
{
    QFile file;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    const QByteArray bytes = bytesOf(origin);
    return file.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle) && file.write(bytes) == bytes.size();
}

// folder ends with a separator; hidden files show too, so a temporary file left behind does.
inline QStringList folderState(const QString &folder, const QString &sub = {})
{
    QStringList result;
    for (const QString &entry : QDir(folder + sub).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                             | QDir::NoDotAndDotDot)) {
        const QString name = sub + entry;
        const QByteArray path = QFile::encodeName(folder + name);
        struct stat st = {};
        char link[256] = {};
        QFile file(folder + name);
        if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode) && ::readlink(path.constData(), link, 255) > 0) {
            result << name + "->" + QFile::decodeName(link);
        } else if (S_ISDIR(st.st_mode)) {
            result << name + '/' << folderState(folder, name + '/');
        } else if (S_ISREG(st.st_mode) && file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            QString origin = QString::fromUtf8(bytes.left(bytes.indexOf('\n')));
            origin = bytes == bytesOf(origin) ? origin : QStringLiteral("?");
            result << (origin == name && st.st_nlink == 1 ? name : name + (st.st_nlink > 1 ? "==" : "=") + origin);
        } else {
            result << name + '|';
        }
    }
    result.sort();
    return result;
}
