// The journal's file on POSIX systems: lines stored into a mapping of room taken beforehand,
// where a fault (the file cut short, its disk full) becomes an error number instead of a signal
// that ends the program; and an advisory lock that every run and undo takes.
#include "journalfile.h"

#include "engine/platformseams.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace {

int fd(FileHandle handle)
{
    return int(handle);
}

// The copy into the mapping under way on this thread, for the bus-error handler.
thread_local sigjmp_buf *volatile guardJump = nullptr;
thread_local const char *volatile guardStart = nullptr;
thread_local const char *volatile guardEnd = nullptr;
struct sigaction previousBusAction;

void onBusError(int signalNumber, siginfo_t *info, void *context)
{
    const char *at = static_cast<const char *>(info->si_addr);
    if (guardJump && at >= guardStart && at < guardEnd)
        siglongjmp(*guardJump, 1);
    // Not a fault of the journal's mapping: whatever handled it before does, or the default.
    ::sigaction(SIGBUS, &previousBusAction, nullptr);
    if (previousBusAction.sa_flags & SA_SIGINFO) {
        if (previousBusAction.sa_sigaction)
            previousBusAction.sa_sigaction(signalNumber, info, context);
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(signalNumber);
    }
}

// Copies into the mapping; EIO when a page of it has no file behind it any more (the file was
// cut short by someone else, or its file system could not find room after all).
int guardedCopy(char *to, const char *from, size_t size, const char *mapStart, qint64 mapSize)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action = {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
    sigjmp_buf jump;
    if (sigsetjmp(jump, 0) != 0) {
        guardJump = nullptr;
        return EIO;
    }
    guardStart = mapStart;
    guardEnd = mapStart + mapSize;
    guardJump = &jump;
    // The handler must see the guard set before the copy begins, and set until it ends.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(to, from, size);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    guardJump = nullptr;
    return 0;
}

} // namespace

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
    const qint64 length = size();
    if (length < 0)
        return errno;
    // One buffer of the file's size, read into in place.
    bytes->resize(qsizetype(length));
    qint64 offset = 0;
    while (offset < bytes->size()) {
        qint64 got = 0;
        if (const int error = read(offset, bytes->data() + offset, bytes->size() - offset, &got); error != 0 || got == 0) {
            bytes->truncate(qsizetype(offset));
            return error;
        }
        offset += got;
    }
    return 0;
}

int JournalFile::read(qint64 offset, char *data, qint64 size, qint64 *got) const
{
    *got = 0;
    if (const int error = platformSeams().journalReadError)
        return error;
    ssize_t read;
    do
        read = ::pread(fd(m_handle), data, size_t(size), off_t(offset));
    while (read < 0 && errno == EINTR);
    *got = read < 0 ? 0 : read;
    return read < 0 ? errno : 0;
}

qint64 JournalFile::size() const
{
    struct stat st;
    return ::fstat(fd(m_handle), &st) == 0 ? qint64(st.st_size) : -1;
}

int JournalFile::write(qint64 offset, const char *data, qint64 size)
{
    if (m_map && offset >= 0 && offset + size <= m_mapSize) {
        const int error = guardedCopy(m_map + offset, data, size_t(size), m_map, m_mapSize);
        if (error != 0)
            unmap(); // nothing more goes through a mapping that faulted
        return error;
    }
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
    if (platformSeams().journalRoom >= 0 && size > platformSeams().journalRoom)
        return ENOSPC;
    // The first room is allocated, so a full disk shows before the run; later room is only
    // reserved in the file's length, and a disk that runs full meanwhile makes a write into the
    // mapping fail (guardedCopy) instead of every line costing an allocation up front.
    const int error = m_mapSize == 0 ? ::posix_fallocate(fd(m_handle), 0, off_t(size))
                                     : ::ftruncate(fd(m_handle), off_t(size)) == 0 ? 0 : errno;
    if (error != 0)
        return error;
    struct stat st;
    if (::fstat(fd(m_handle), &st) != 0 || st.st_size < size)
        return EIO;
    unmap();
    void *map = ::mmap(nullptr, size_t(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd(m_handle), 0);
    if (map != MAP_FAILED) {
        m_map = static_cast<char *>(map);
        m_mapSize = st.st_size;
    }
    return 0;
}

int JournalFile::truncate(qint64 size)
{
    if (const int error = platformSeams().journalCutError)
        return error;
    if (size < m_mapSize)
        unmap();
    return ::ftruncate(fd(m_handle), off_t(size)) == 0 ? 0 : errno;
}

void JournalFile::unmap()
{
    if (m_map)
        ::munmap(m_map, size_t(m_mapSize));
    m_map = nullptr;
    m_mapSize = 0;
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
    unmap();
    if (m_handle != noFileHandle)
        ::close(fd(m_handle)); // the lock goes with the descriptor
    m_handle = noFileHandle;
    m_writable = false;
}
