#include "platformdir.h"

#include "engine/platformfs.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#else
#include "engine/keptlisting.h"

#include <algorithm>

#include <QFile>
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

// The name as the user sees it; plain ASCII, the most common case, is widened without the
// UTF-8 decoder.
QString decodedName(const NativeName &name)
{
    for (const char c : name) {
        if (uchar(c) >= 0x80)
            return QFile::decodeName(name);
    }
    return QString::fromLatin1(name);
}

// Room for the folder's entries, guessed from its size (tmpfs counts 20 bytes an entry, ext4
// the blocks its entries fill, more), so the list is not moved again and again while it grows;
// room never used is never touched.
size_t expectedEntries(const Folder &folder)
{
    FileFacts facts;
    if (fileFacts(folder.handle, &facts) != 0 || facts.size <= 0)
        return 0;
    return size_t(std::min<qint64>(facts.size / 20, qint64(1) << 20));
}

// A regular file once links are followed; asks the file system only when the entry itself
// does not tell (some file systems report every type as unknown).
bool isRegularFile(const Folder &folder, const ListedName &listed)
{
    if (listed.type == FileType::Regular)
        return true;
    if (listed.type != FileType::Missing && listed.type != FileType::Link)
        return false;
    FileFacts facts;
    return statAt(folder, listed.name, true, &facts) == 0 && facts.type == FileType::Regular;
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
    Folder opened;
    if (folder.isEmpty() || openFolder(QFile::encodeName(folder), &opened) != 0)
        return false;
    // What the listing sees is kept for a run that follows, which then reads the folder no
    // second time while it has not changed.
    ListingKeeper keeper(opened);
    const size_t expected = expectedEntries(opened);
    files.reserve(expected);
    keeper.reserve(expected);
    const int error = listNames(opened, [&](const ListedName &listed) {
        if (!isRegularFile(opened, listed))
            return;
        QString name = decodedName(listed.name);
        // A copy under construction, or left behind by a run that was killed, is never listed.
        if (isTemporaryName(name))
            return;
        files.push_back({listed.name, std::move(name), {}});
        if (listed.type == FileType::Regular)
            keeper.add(files.back().nativeName, listed.inode);
    });
    closeFolder(&opened);
    if (error != 0) {
        files.clear();
        return false;
    }
    keeper.keep();
    return true;
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
