#include "platformdir.h"

#include "engine/platformfs.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#else
#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_WIN
constexpr QLatin1Char nativeSeparator('\\');

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// "C:" or "C:\" (any number of separators): a drive root.
bool isDriveRoot(const QString &path, qsizetype length)
{
    if (length < 2 || !path.at(0).isLetter() || path.at(1) != QLatin1Char(':'))
        return false;
    for (qsizetype i = 2; i < length; ++i) {
        if (!isSeparator(path.at(i)))
            return false;
    }
    return true;
}
#else
constexpr QLatin1Char nativeSeparator('/');

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/');
}

// A regular file once links are followed; asks the file system only when the entry itself
// does not tell (some file systems report every type as unknown).
bool isRegularFile(int folderFd, const dirent *entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
        return false;
    struct stat info;
    if (fstatat(folderFd, entry->d_name, &info, 0) != 0)
        return false;
    return S_ISREG(info.st_mode);
}
#endif

// Length of the path without its trailing separators; a root keeps its own separator.
qsizetype trimmedLength(const QString &path)
{
    qsizetype length = path.size();
    while (length > 1 && isSeparator(path.at(length - 1)))
        --length;
#ifdef Q_OS_WIN
    if (isDriveRoot(path, length))
        return 2;
#endif
    return length;
}

} // namespace

#ifdef Q_OS_WIN
bool readFolderFiles(const QString &folder, std::vector<FolderFile> &files)
{
    files.clear();
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isReadable())
        return false;
    // Windows names are UTF-16, so Qt's own listing keeps every name intact.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().isFile() && !isTemporaryName(it.fileName()))
            files.push_back({it.fileName(), it.fileName(), {}});
    }
    return true;
}
#else
bool readFolderFiles(const QString &folder, std::vector<FolderFile> &files)
{
    files.clear();
    if (folder.isEmpty())
        return false;
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    const int fd = dirfd(dir);
    bool ok = true;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry) {
            ok = errno == 0;
            break;
        }
        if (!isRegularFile(fd, entry))
            continue;
        QByteArray native(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        QString name = QFile::decodeName(native);
        // A copy under construction, or left behind by a run that was killed, is never listed.
        if (isTemporaryName(name))
            continue;
        files.push_back({std::move(native), std::move(name), {}});
    }
    closedir(dir);
    if (!ok)
        files.clear();
    return ok;
}
#endif

qsizetype lastSeparator(const QString &path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path.at(i)))
            return i;
    }
    return -1;
}

QString folderWithSeparator(const QString &folder)
{
    if (folder.isEmpty())
        return folder;
    QString path = folderWithoutSeparator(folder);
    if (!isSeparator(path.back()))
        path += nativeSeparator;
    return path;
}

QString folderWithoutSeparator(const QString &folder)
{
    QString path = folder.left(trimmedLength(folder));
#ifdef Q_OS_WIN
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (isDriveRoot(path, path.size()))
        path = path.left(2) + QLatin1Char('\\');
#endif
    return path;
}
