// The journal's file on Windows: opened so that no other process may write to it or cut it
// short while a run holds it (others may still read it), with a lock on one byte far past its
// end that a second run or undo cannot take, and room allocated by setting the file's end
// before it is written.
#include "journalfile.h"

#include "engine/platformseams.h"

#include <qt_windows.h>

#include <cerrno>

namespace {

HANDLE handleOf(FileHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}

int errorOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_LOCK_VIOLATION:
    case ERROR_SHARING_VIOLATION:
        return EBUSY;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

int setEnd(HANDLE file, qint64 size)
{
    LARGE_INTEGER at;
    at.QuadPart = size;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        return errorOf(GetLastError());
    return 0;
}

} // namespace

int JournalFile::open(const QString &path, bool create)
{
    close();
    const auto *wide = reinterpret_cast<const wchar_t *>(path.utf16());
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    // A reparse point (a link) is opened as itself, never followed.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE file = CreateFileW(wide, GENERIC_READ | GENERIC_WRITE, share, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING, flags, nullptr);
    m_writable = file != INVALID_HANDLE_VALUE;
    const int writeError = m_writable ? 0 : errorOf(GetLastError());
    if (!m_writable && writeError == EACCES)
        file = CreateFileW(wide, GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder or a link in the journal's place is refused as what it is, as on POSIX.
        const DWORD attributes = GetFileAttributesW(wide);
        if (attributes != INVALID_FILE_ATTRIBUTES
            && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            return EINVAL;
        return errorOf(error);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        || info.nNumberOfLinks > 1) {
        CloseHandle(file);
        return EINVAL;
    }
    // The byte locked lies far past any journal, so the lock never keeps a reader from the lines.
    OVERLAPPED farByte = {};
    farByte.OffsetHigh = 0x40000000;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &farByte)) {
        const int error = errorOf(GetLastError());
        CloseHandle(file);
        return error;
    }
    m_handle = reinterpret_cast<FileHandle>(file);
    m_path = path;
    return writeError;
}

int JournalFile::readAll(QByteArray *bytes) const
{
    bytes->clear();
    char buffer[65536];
    for (qint64 offset = 0;;) {
        qint64 got = 0;
        if (const int error = read(offset, buffer, sizeof buffer, &got); error != 0 || got == 0)
            return error;
        bytes->append(buffer, qsizetype(got));
        offset += got;
    }
}

int JournalFile::read(qint64 offset, char *data, qint64 size, qint64 *got) const
{
    OVERLAPPED at = {};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD read = 0;
    *got = 0;
    if (const int error = platformSeams().journalReadError)
        return error;
    if (!ReadFile(handleOf(m_handle), data, DWORD(qMin<qint64>(size, 1 << 30)), &read, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : errorOf(GetLastError());
    *got = read;
    return 0;
}

qint64 JournalFile::size() const
{
    LARGE_INTEGER length;
    return GetFileSizeEx(handleOf(m_handle), &length) ? qint64(length.QuadPart) : -1;
}

int JournalFile::write(qint64 offset, const char *data, qint64 size)
{
    while (size > 0) {
        OVERLAPPED at = {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        DWORD put = 0;
        if (!WriteFile(handleOf(m_handle), data, DWORD(qMin<qint64>(size, 1 << 30)), &put, &at))
            return errorOf(GetLastError());
        if (put == 0)
            return ENOSPC;
        data += put;
        offset += put;
        size -= put;
    }
    return 0;
}

int JournalFile::reserve(qint64 size)
{
    if (platformSeams().journalRoom >= 0 && size > platformSeams().journalRoom)
        return ENOSPC;
    LARGE_INTEGER now;
    if (!GetFileSizeEx(handleOf(m_handle), &now))
        return errorOf(GetLastError());
    // Setting the end allocates the room and fills it with zeros when it is read.
    return now.QuadPart >= size ? 0 : setEnd(handleOf(m_handle), size);
}

int JournalFile::truncate(qint64 size)
{
    if (const int error = platformSeams().journalCutError)
        return error;
    return setEnd(handleOf(m_handle), size);
}

int JournalFile::remove()
{
    // The run's own handle has no right to delete (a reader would have to allow that), so a
    // second handle to the same file marks it for deletion.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE victim = ReOpenFile(handleOf(m_handle), DELETE, share, 0);
    if (victim == INVALID_HANDLE_VALUE)
        return errorOf(GetLastError());
    FILE_DISPOSITION_INFO dispose = {TRUE};
    const bool done = SetFileInformationByHandle(victim, FileDispositionInfo, &dispose, sizeof dispose);
    const int error = done ? 0 : errorOf(GetLastError());
    CloseHandle(victim);
    return error;
}

void JournalFile::unmap()
{
    // Windows writes every line with WriteFile; nothing is mapped.
    m_map = nullptr;
    m_mapSize = 0;
}

void JournalFile::close()
{
    if (m_handle != noFileHandle)
        CloseHandle(handleOf(m_handle)); // the lock goes with the handle
    m_handle = noFileHandle;
    m_writable = false;
}
