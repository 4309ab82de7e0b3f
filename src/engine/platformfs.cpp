#include "platformfs.h"

#include <algorithm>
#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sendfile.h>
#endif

namespace {

qint64 copyWriteLimit = -1;
CopyMethod copyMethod = CopyMethod::Fastest;
bool renameByLink = false;

constexpr qint64 copyChunk = qint64(1) << 30;
constexpr qint64 bufferSize = qint64(1) << 20;

#ifdef Q_OS_WIN
const wchar_t *wide(const NativeName &name)
{
    return reinterpret_cast<const wchar_t *>(name.utf16());
}

HANDLE handleOf(FileHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}
#else
bool renameByLinkAndUnlink(const NativeName &from, const NativeName &to)
{
    // linkat without AT_SYMLINK_FOLLOW links a symbolic link itself, as a rename moves it.
    if (::linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0) != 0)
        return false;
    if (::unlink(from.constData()) == 0)
        return true;
    ::unlink(to.constData());
    return false;
}
#endif

} // namespace

bool renameNoReplace(const NativeName &from, const NativeName &to)
{
#ifdef Q_OS_WIN
    Q_UNUSED(renameByLink);
    return MoveFileExW(wide(from), wide(to), 0) != 0;
#else
#ifdef Q_OS_LINUX
    if (!renameByLink) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return true;
        // Only a file system without the flag may take the link route; never a replacing rename.
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
    }
#endif
    return renameByLinkAndUnlink(from, to);
#endif
}

bool renameReplace(const NativeName &from, const NativeName &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return ::rename(from.constData(), to.constData()) == 0;
#endif
}

bool removeFile(const NativeName &path)
{
#ifdef Q_OS_WIN
    return DeleteFileW(wide(path)) != 0;
#else
    return ::unlink(path.constData()) == 0;
#endif
}

bool nameExists(const NativeName &path)
{
#ifdef Q_OS_WIN
    return GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
#endif
}

bool fileIdentity(const NativeName &path, FileIdentity *identity)
{
#ifdef Q_OS_WIN
    const HANDLE file = CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (ok)
        *identity = {info.dwVolumeSerialNumber, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return ok;
#else
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return false;
    *identity = {quint64(st.st_dev), quint64(st.st_ino)};
    return true;
#endif
}

bool ensureFolder(const NativeName &path)
{
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return CreateDirectoryW(wide(path), nullptr) != 0;
#else
    struct stat st;
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (errno != ENOENT)
        return false;
    // mkdir refuses a dangling link of that name (EEXIST) instead of creating its target.
    if (::mkdir(path.constData(), 0777) == 0)
        return true;
    return errno == EEXIST && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

FileHandle openRegularFile(const NativeName &path, FileFacts *facts)
{
#ifdef Q_OS_WIN
    const HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return noFileHandle;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        return noFileHandle;
    }
    facts->identity = {info.dwVolumeSerialNumber, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    facts->size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    facts->permissions = info.dwFileAttributes;
    facts->accessTime[0] = qint64((quint64(info.ftLastAccessTime.dwHighDateTime) << 32) | info.ftLastAccessTime.dwLowDateTime);
    facts->modifyTime[0] = qint64((quint64(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
    return reinterpret_cast<FileHandle>(file);
#else
    // O_NONBLOCK keeps a pipe from blocking the open; on a regular file it changes nothing.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return noFileHandle;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return noFileHandle;
    }
    facts->identity = {quint64(st.st_dev), quint64(st.st_ino)};
    facts->size = st.st_size;
    facts->permissions = st.st_mode & 0777;
    facts->accessTime[0] = st.st_atim.tv_sec;
    facts->accessTime[1] = st.st_atim.tv_nsec;
    facts->modifyTime[0] = st.st_mtim.tv_sec;
    facts->modifyTime[1] = st.st_mtim.tv_nsec;
    return fd;
#endif
}

FileHandle createTempFile(const NativeName &folder, NativeName *path)
{
#ifdef Q_OS_WIN
    for (int attempt = 0; attempt < 100; ++attempt) {
        const NativeName name = folder + QStringLiteral(".kappwerk-%1").arg(GetTickCount64() * 7919u + attempt, 0, 36);
        const HANDLE file = CreateFileW(wide(name), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            *path = name;
            return reinterpret_cast<FileHandle>(file);
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return noFileHandle;
    }
    return noFileHandle;
#else
    NativeName name = folder + ".kappwerk-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return noFileHandle;
    *path = name;
    return fd;
#endif
}

// Copies one chunk with the given method; the count copied, 0 at the source's end, -1 on error.
static qint64 copyChunkWith(CopyMethod method, FileHandle from, FileHandle to, qint64 length,
                            std::unique_ptr<char[]> &buffer)
{
#ifdef Q_OS_LINUX
    if (method == CopyMethod::Fastest)
        return ::copy_file_range(int(from), nullptr, int(to), nullptr, size_t(length), 0);
    if (method == CopyMethod::SendFile)
        return ::sendfile(int(to), int(from), nullptr, size_t(length));
#else
    Q_UNUSED(method);
#endif
    if (!buffer)
        buffer.reset(new char[bufferSize]);
    length = std::min(length, bufferSize);
#ifdef Q_OS_WIN
    DWORD got = 0;
    if (!ReadFile(handleOf(from), buffer.get(), DWORD(length), &got, nullptr))
        return -1;
    for (DWORD done = 0; done < got;) {
        DWORD put = 0;
        if (!WriteFile(handleOf(to), buffer.get() + done, got - done, &put, nullptr) || put == 0)
            return -1;
        done += put;
    }
    return got;
#else
    qint64 got;
    do {
        got = ::read(int(from), buffer.get(), size_t(length));
    } while (got < 0 && errno == EINTR);
    for (qint64 done = 0; done < got;) {
        const qint64 put = ::write(int(to), buffer.get() + done, size_t(got - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return -1;
        done += put;
    }
    return got;
#endif
}

bool copyFileData(FileHandle from, FileHandle to, qint64 expectedSize)
{
    CopyMethod method = copyMethod;
    std::unique_ptr<char[]> buffer;
    qint64 copied = 0;
    for (;;) {
        // Under a simulated limit, ask for one byte more than may be written: a source that has
        // more than that makes the copy fail like a full disk, one that ends there succeeds.
        const qint64 length = copyWriteLimit < 0 ? copyChunk
                                                 : std::min(copyChunk, copyWriteLimit - copied + 1);
        const qint64 count = copyChunkWith(method, from, to, length, buffer);
#ifndef Q_OS_WIN
        if (count < 0 && errno == EINTR)
            continue;
        // Across file systems, or where the kernel lacks the fast call, fall back one step; the
        // file positions carry the copy on from where it stopped.
        if (count < 0 && method != CopyMethod::ReadWrite
            && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            method = method == CopyMethod::Fastest ? CopyMethod::SendFile : CopyMethod::ReadWrite;
            continue;
        }
        // Some virtual file systems answer the fast calls with 0 for files that have content.
        if (count == 0 && copied == 0 && expectedSize > 0 && method != CopyMethod::ReadWrite) {
            method = CopyMethod::ReadWrite;
            continue;
        }
#else
        Q_UNUSED(expectedSize);
#endif
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        copied += count;
        if (copyWriteLimit >= 0 && copied > copyWriteLimit) {
#ifndef Q_OS_WIN
            errno = ENOSPC;
#endif
            return false;
        }
    }
}

void applyFileFacts(FileHandle file, const FileFacts &facts)
{
#ifdef Q_OS_WIN
    FILE_BASIC_INFO info = {};
    info.LastAccessTime.QuadPart = facts.accessTime[0];
    info.LastWriteTime.QuadPart = facts.modifyTime[0];
    info.FileAttributes = facts.permissions & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
                                               | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM);
    if (info.FileAttributes == 0)
        info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(handleOf(file), FileBasicInfo, &info, sizeof info);
#else
    ::fchmod(int(file), mode_t(facts.permissions));
    const struct timespec times[2] = {{time_t(facts.accessTime[0]), long(facts.accessTime[1])},
                                      {time_t(facts.modifyTime[0]), long(facts.modifyTime[1])}};
    ::futimens(int(file), times);
#endif
}

bool closeFile(FileHandle file)
{
#ifdef Q_OS_WIN
    return CloseHandle(handleOf(file)) != 0;
#else
    return ::close(int(file)) == 0;
#endif
}

void setCopyWriteLimitForTest(qint64 bytes)
{
    copyWriteLimit = bytes;
}

void setCopyMethodForTest(CopyMethod method)
{
    copyMethod = method;
}

void setRenameByLinkForTest(bool on)
{
    renameByLink = on;
}
