// The journal's file on POSIX systems: pwrite into room allocated beforehand, so a full disk is
// an error number, never a signal, and an advisory lock that every run and undo takes.
#include "journalfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace {

qint64 journalRoom = -1;

int fd(FileHandle handle)
{
    return int(handle);
}

} // namespace

void setJournalRoomForTest(qint64 bytes)
{
    journalRoom = bytes;
}

int JournalFile::open(const QString &path, bool create)
{
    close();
    const QByteArray native = QFile::encodeName(path);
    // An undo that just finished may remove the file between our open and our lock: the lock
    // then holds a name nobody else sees, so the open is tried again on the path as it is now.
    for (int attempt = 0; attempt < 20; ++attempt) {
        struct stat seen;
        if (::lstat(native.constData(), &seen) == 0 && (!S_ISREG(seen.st_mode) || seen.st_nlink != 1))
            return EINVAL;
        const int common = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
        int handle = ::open(native.constData(), O_RDWR | common | (create ? O_CREAT : 0), 0600);
        m_writable = handle >= 0;
        const int writeError = m_writable ? 0 : errno;
        // A file that may not be written is still locked, so no other run starts meanwhile.
        if (handle < 0 && (writeError == EACCES || writeError == EPERM || writeError == EROFS))
            handle = ::open(native.constData(), O_RDONLY | common);
        if (handle < 0)
            return errno == ELOOP ? EINVAL : errno;
        struct stat held;
        if (::fstat(handle, &held) != 0 || !S_ISREG(held.st_mode) || held.st_nlink > 1) {
            ::close(handle);
            return EINVAL;
        }
        if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(handle);
            return error == EWOULDBLOCK ? EBUSY : error;
        }
        struct stat now;
        if (::lstat(native.constData(), &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) {
            ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) & ~O_NONBLOCK);
            m_handle = handle;
            m_path = path;
            return writeError;
        }
        ::close(handle);
        if (!create)
            return ENOENT;
    }
    return EBUSY;
}

int JournalFile::readAll(QByteArray *bytes) const
{
    bytes->clear();
    char buffer[65536];
    for (qint64 offset = 0;;) {
        const ssize_t got = ::pread(fd(m_handle), buffer, sizeof buffer, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        bytes->append(buffer, qsizetype(got));
        offset += got;
    }
}

int JournalFile::write(qint64 offset, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t put = ::pwrite(fd(m_handle), data, size_t(size), off_t(offset));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? errno : ENOSPC;
        data += put;
        offset += put;
        size -= put;
    }
    return 0;
}

int JournalFile::reserve(qint64 size)
{
    if (journalRoom >= 0 && size > journalRoom)
        return ENOSPC;
    // Where the file system cannot allocate ahead, the C library writes zeros instead.
    return ::posix_fallocate(fd(m_handle), 0, off_t(size));
}

int JournalFile::truncate(qint64 size)
{
    return ::ftruncate(fd(m_handle), off_t(size)) == 0 ? 0 : errno;
}

int JournalFile::remove()
{
    struct stat held;
    struct stat now;
    const QByteArray native = QFile::encodeName(m_path);
    if (::fstat(fd(m_handle), &held) != 0 || ::lstat(native.constData(), &now) != 0)
        return errno;
    if (held.st_dev != now.st_dev || held.st_ino != now.st_ino)
        return ENOENT;
    return ::unlink(native.constData()) == 0 ? 0 : errno;
}

void JournalFile::close()
{
    if (m_handle != noFileHandle)
        ::close(fd(m_handle)); // the lock goes with the descriptor
    m_handle = noFileHandle;
    m_writable = false;
}
