// What the file system tells of files on POSIX systems: their facts with the birth time where
// statx gives it, the time on the file system's clock, and a fingerprint of a file's bytes.
#include "platformfs.h"
#include "platformseams.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

namespace {

FileType typeOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileType::Regular;
    if (S_ISDIR(mode))
        return FileType::Directory;
    if (S_ISLNK(mode))
        return FileType::Link;
    return FileType::Other;
}

// What a stat says of a file. The permissions leave out setuid and setgid: a copy never takes them.
FileFacts factsOf(const struct stat &st)
{
    FileFacts facts;
    facts.type = typeOf(st.st_mode);
    facts.identity = {quint64(st.st_dev), quint64(st.st_ino)};
    facts.size = st.st_size;
    facts.permissions = st.st_mode & 0777;
    facts.accessTime[0] = st.st_atim.tv_sec;
    facts.accessTime[1] = st.st_atim.tv_nsec;
    facts.modifyTime[0] = st.st_mtim.tv_sec;
    facts.modifyTime[1] = st.st_mtim.tv_nsec;
    return facts;
}

// The file's facts with its birth time, where the system has statx and the file system keeps it.
int statFacts(int dir, const char *name, int flags, FileFacts *facts)
{
#if defined(Q_OS_LINUX) && defined(STATX_BTIME)
    struct statx sx;
    if (::statx(dir, name, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
        FileFacts &f = *facts;
        f = FileFacts();
        f.type = typeOf(sx.stx_mode);
        f.identity = {quint64(makedev(sx.stx_dev_major, sx.stx_dev_minor)), quint64(sx.stx_ino)};
        f.size = qint64(sx.stx_size);
        f.permissions = sx.stx_mode & 0777;
        f.accessTime[0] = sx.stx_atime.tv_sec;
        f.accessTime[1] = sx.stx_atime.tv_nsec;
        f.modifyTime[0] = sx.stx_mtime.tv_sec;
        f.modifyTime[1] = sx.stx_mtime.tv_nsec;
        if (sx.stx_mask & STATX_BTIME) {
            f.birthTime[0] = sx.stx_btime.tv_sec;
            f.birthTime[1] = sx.stx_btime.tv_nsec;
        }
        return 0;
    }
    if (errno != ENOSYS) {
        *facts = FileFacts();
        return errno;
    }
#endif
    struct stat st;
    const int error = name[0] ? ::fstatat(dir, name, &st, flags) : ::fstat(dir, &st);
    if (error != 0) {
        *facts = FileFacts();
        return errno;
    }
    *facts = factsOf(st);
    return 0;
}

} // namespace

int statAt(const Folder &folder, const NativeName &name, bool followLinks, FileFacts *facts)
{
    if (name.isEmpty()) {
        *facts = FileFacts();
        return ENOENT;
    }
    const int error = statFacts(int(folder.handle), name.constData(), followLinks ? 0 : AT_SYMLINK_NOFOLLOW, facts);
    if (error == 0 && platformSeams().inodeAliasFrom != 0 && facts->identity.inode == platformSeams().inodeAliasFrom)
        facts->identity.inode = platformSeams().inodeAliasTo;
    return error;
}

int folderStamp(const Folder &folder, FolderStamp *stamp, bool *settled)
{
    *stamp = FolderStamp();
    *settled = false;
    if (!folder.localStamps)
        return ENOTSUP;
    struct timespec now = {};
    struct timespec grain = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
#ifdef CLOCK_REALTIME_COARSE
    ::clock_getres(CLOCK_REALTIME_COARSE, &grain);
#endif
    struct stat st;
    if (::fstat(int(folder.handle), &st) != 0)
        return errno;
    stamp->identity = {quint64(st.st_dev), quint64(st.st_ino)};
    stamp->modifyTime[0] = st.st_mtim.tv_sec;
    stamp->modifyTime[1] = st.st_mtim.tv_nsec;
    stamp->changeTime[0] = st.st_ctim.tv_sec;
    stamp->changeTime[1] = st.st_ctim.tv_nsec;
    // A change after now is stamped no earlier than now less one tick of the coarse clock; two
    // ticks (at least 10 ms) keep this clear of it. A file system that keeps whole seconds only
    // (ext4 with small inodes) stamps every change within a second alike: there the last change
    // must lie two seconds back.
    const auto nanoseconds = [](qint64 seconds, qint64 nanos) { return seconds * 1000000000 + nanos; };
    const bool wholeSeconds = stamp->modifyTime[1] == 0 && stamp->changeTime[1] == 0;
    const qint64 margin = wholeSeconds ? qint64(2000000000)
                                       : std::max<qint64>(2 * nanoseconds(grain.tv_sec, grain.tv_nsec), 10000000);
    const qint64 latest = std::max(nanoseconds(stamp->modifyTime[0], stamp->modifyTime[1]),
                                   nanoseconds(stamp->changeTime[0], stamp->changeTime[1]));
    *settled = latest + margin < nanoseconds(now.tv_sec, now.tv_nsec);
    return 0;
}

int fileFacts(FileHandle file, FileFacts *facts)
{
#ifdef Q_OS_LINUX
    return statFacts(int(file), "", AT_EMPTY_PATH, facts);
#else
    return statFacts(int(file), "", 0, facts);
#endif
}

void fileSystemNow(qint64 time[2])
{
    // The precise clock: a file made before this moment has an earlier birth time, whether its
    // file system stamps precisely or from the coarser clock that lags behind.
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    time[0] = now.tv_sec;
    time[1] = now.tv_nsec;
}

quint64 fileFingerprint(FileHandle file, qint64 size)
{
    // FNV-1a over the size and the first and last 4 KiB: a file replaced by another of the same
    // name, size and time is told apart without reading all of it.
    constexpr qint64 edge = 4096;
    char buffer[2 * edge];
    // An empty file has no bytes to read: its fingerprint is that of its size alone.
    qint64 got = size > 0 ? ::pread(int(file), buffer, size_t(std::min(size, edge)), 0) : 0;
    if (got < 0)
        return 0;
    if (size > edge) {
        const qint64 tail = std::min(edge, size - edge);
        const qint64 more = ::pread(int(file), buffer + got, size_t(tail), off_t(size - tail));
        if (more < 0)
            return 0;
        got += more;
    }
    quint64 hash = 14695981039346656037ull ^ quint64(size);
    for (qint64 i = 0; i < got; ++i)
        hash = (hash ^ uchar(buffer[i])) * 1099511628211ull;
    return hash ? hash : 1;
}

quint64 fingerprintAt(const Folder &folder, const NativeName &name, qint64 size)
{
    const int handle = ::openat(int(folder.handle), name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (handle < 0)
        return 0;
    const quint64 fingerprint = fileFingerprint(handle, size);
    ::close(handle);
    return fingerprint;
}

int closeFile(FileHandle file)
{
    return ::close(int(file)) == 0 ? 0 : errno;
}
