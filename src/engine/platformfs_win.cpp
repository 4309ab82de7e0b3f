// The engine's file calls on Windows. Windows has no calls relative to an open folder, so a
// Folder keeps a handle that holds the folder in place (it cannot be renamed or removed while
// open) and its path, and every call goes by path. Names are UTF-16 and round-trip as they are.
#include "platformfs.h"

#include <qt_windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>
#include <cerrno>
#include <csignal>

#include <QRandomGenerator>

#include "engine/platformseams.h"
#include "engine/platformwin.h"

using namespace platformwin;

namespace platformwin {

int lastError()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    default:
        return EIO;
    }
}

// The path in the form Windows takes beyond MAX_PATH (260 characters): absolute, with
// backslashes, after "\\?\" ("\\?\UNC\" for a share). Names in it are then taken exactly as
// they are, without Windows dropping a trailing dot or blank.
QString longPath(const QString &path)
{
    const QString native = QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (native.startsWith(QLatin1String("\\\\?\\")))
        return native;
    std::vector<wchar_t> full(32768);
    const DWORD length = GetFullPathNameW(wide(native), DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return native;
    const QString absolute = QString::fromWCharArray(full.data(), int(length));
    if (absolute.startsWith(QLatin1String("\\\\")))
        return QLatin1String("\\\\?\\UNC\\") + absolute.mid(2);
    return QLatin1String("\\\\?\\") + absolute;
}

void factsFrom(const BY_HANDLE_FILE_INFORMATION &info, FileFacts *facts)
{
    facts->type = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? FileType::Link
                  : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::Directory
                                                                        : FileType::Regular;
    facts->identity = {info.dwVolumeSerialNumber, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    facts->size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    facts->permissions = info.dwFileAttributes;
    facts->accessTime[0] = qint64((quint64(info.ftLastAccessTime.dwHighDateTime) << 32) | info.ftLastAccessTime.dwLowDateTime);
    facts->modifyTime[0] = qint64((quint64(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
    facts->birthTime[0] = qint64((quint64(info.ftCreationTime.dwHighDateTime) << 32) | info.ftCreationTime.dwLowDateTime);
}

namespace {

bool withoutReadOnly(const QString &path, const std::function<bool()> &change)
{
    if (change())
        return true;
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)
        || !SetFileAttributesW(wide(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY))) {
        SetLastError(error);
        return false;
    }
    if (change())
        return true;
    const DWORD again = GetLastError();
    SetFileAttributesW(wide(path), attributes);
    SetLastError(again);
    return false;
}

} // namespace

bool deleteFile(const QString &path)
{
    return withoutReadOnly(path, [&path] { return DeleteFileW(wide(path)) != 0; });
}

bool replaceFile(const QString &from, const QString &path)
{
    return withoutReadOnly(path, [&] { return MoveFileExW(wide(from), wide(path), MOVEFILE_REPLACE_EXISTING) != 0; });
}

} // namespace platformwin

namespace {

// FAT and exFAT number files by where their entries stand: the numbers do not last.
bool stableIdentities(const QString &path)
{
    if (platformSeams().identityUnstable)
        return false;
    wchar_t volume[MAX_PATH + 1] = {};
    wchar_t system[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(wide(path), volume, MAX_PATH)
        || !GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH))
        return false;
    return QString::fromWCharArray(system).compare(QLatin1String("NTFS"), Qt::CaseInsensitive) == 0
        || QString::fromWCharArray(system).compare(QLatin1String("ReFS"), Qt::CaseInsensitive) == 0;
}

} // namespace


int openFolder(const NativeName &path, Folder *folder)
{
    closeFolder(folder);
    const QString full = longPath(path);
    const HANDLE handle = CreateFileW(wide(full), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    folder->handle = reinterpret_cast<FileHandle>(handle);
    folder->path = full.endsWith(QLatin1Char('\\')) ? full : full + QLatin1Char('\\');
    folder->identityStable = stableIdentities(folder->path);
    return 0;
}

int openSubfolder(const Folder &parent, const NativeName &name, bool create, Folder *folder)
{
    closeFolder(folder);
    const QString path = parent.path + name;
    DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES && create && CreateDirectoryW(wide(path), nullptr))
        attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastError();
    // A junction or symbolic link is never followed, nor anything that is not a folder.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ENOTDIR;
    const HANDLE handle = CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    folder->handle = reinterpret_cast<FileHandle>(handle);
    folder->path = path + QLatin1Char('\\');
    folder->identityStable = stableIdentities(folder->path);
    return 0;
}

void closeFolder(Folder *folder)
{
    if (folder->isOpen())
        CloseHandle(handleOf(folder->handle));
    *folder = Folder();
}

int statAt(const Folder &folder, const NativeName &name, bool followLinks, FileFacts *facts)
{
    *facts = FileFacts();
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE file = CreateFileW(wide(folder.path + name), 0, shareAll, nullptr, OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastError();
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    const int error = ok ? 0 : lastError();
    CloseHandle(file);
    if (ok)
        factsFrom(info, facts);
    return error;
}

int renameNoReplaceAt(Folder &fromFolder, const NativeName &from, Folder &toFolder, const NativeName &to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails for any existing name, in any case.
    toFolder.publish = PublishMethod::NoReplaceRename;
    return MoveFileExW(wide(fromFolder.path + from), wide(toFolder.path + to), 0) ? 0 : lastError();
}

int renameCaseAt(Folder &folder, const NativeName &from, const NativeName &to)
{
    if (platformSeams().caseRenamesKept)
        return 0;
    return MoveFileExW(wide(folder.path + from), wide(folder.path + to), MOVEFILE_REPLACE_EXISTING) ? 0 : lastError();
}

int removeAt(const Folder &folder, const NativeName &name)
{
    return deleteFile(folder.path + name) ? 0 : lastError();
}

int listNames(const Folder &folder, const std::function<void(const ListedName &)> &take)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wide(folder.path + QLatin1Char('*')), &found);
    if (search == INVALID_HANDLE_VALUE)
        return lastError();
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        // The listing gives no file index; the type only where no reparse point may change it.
        FileType type = FileType::Missing;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            type = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::Directory : FileType::Regular;
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            take({name, type, 0});
    } while (FindNextFileW(search, &found));
    const int error = GetLastError() == ERROR_NO_MORE_FILES ? 0 : lastError();
    FindClose(search);
    return error;
}

qint64 nameMaxAt(const Folder &folder)
{
    DWORD length = 0;
    wchar_t root[MAX_PATH + 1];
    if (!GetVolumePathNameW(wide(folder.path), root, MAX_PATH + 1)
        || !GetVolumeInformationW(root, nullptr, 0, nullptr, &length, nullptr, nullptr, 0) || length == 0)
        return 255;
    return qint64(length);
}

int writableFolder(const Folder &folder)
{
    // Windows tells whether a folder may be written only by trying; the run reports it then.
    Q_UNUSED(folder);
    return 0;
}

int flushFileSystem(const Folder &folder)
{
    // Every copy was flushed on its own before it got its name (checkWritten).
    Q_UNUSED(folder);
    if (platformSeams().onFlush)
        platformSeams().onFlush();
    return platformSeams().flushError;
}

int folderStamp(const Folder &folder, FolderStamp *stamp, bool *settled)
{
    // NTFS updates a folder's times lazily; a listing is never kept for a run here.
    Q_UNUSED(folder);
    *stamp = FolderStamp();
    *settled = false;
    return ENOTSUP;
}

void fileSystemNow(qint64 time[2])
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    time[0] = qint64((quint64(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    time[1] = 0;
}

quint64 fileFingerprint(FileHandle file, qint64 size)
{
    // FNV-1a over the size and the first and last 4 KiB, read without moving the file position.
    constexpr qint64 edge = 4096;
    char buffer[2 * edge];
    qint64 got = 0;
    const auto readAt = [&](qint64 offset, qint64 length) {
        OVERLAPPED at = {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        DWORD read = 0;
        if (!ReadFile(handleOf(file), buffer + got, DWORD(length), &read, &at))
            return false;
        got += read;
        return true;
    };
    if (!readAt(0, std::min(size, edge)))
        return 0;
    if (size > edge && !readAt(size - std::min(edge, size - edge), std::min(edge, size - edge)))
        return 0;
    quint64 hash = 14695981039346656037ull ^ quint64(size);
    for (qint64 i = 0; i < got; ++i)
        hash = (hash ^ uchar(buffer[i])) * 1099511628211ull;
    return hash ? hash : 1;
}

quint64 fingerprintAt(const Folder &folder, const NativeName &name, qint64 size)
{
    const HANDLE file = CreateFileW(wide(folder.path + name), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    const quint64 fingerprint = fileFingerprint(reinterpret_cast<FileHandle>(file), size);
    CloseHandle(file);
    return fingerprint;
}

int openRegularFileAt(const Folder &folder, const NativeName &name, FileHandle *file, FileFacts *facts)
{
    const HANDLE handle = CreateFileW(wide(folder.path + name), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    const int error = GetFileType(handle) == FILE_TYPE_DISK ? fileFacts(reinterpret_cast<FileHandle>(handle), facts) : ENOENT;
    if (error != 0 || facts->type != FileType::Regular) {
        CloseHandle(handle);
        return error != 0 ? error : ENOENT;
    }
    *file = reinterpret_cast<FileHandle>(handle);
    return 0;
}

