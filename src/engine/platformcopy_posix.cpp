// Copies on POSIX systems: temporary files that leave nothing behind, the data in chunks, and
// publishing under the new name.
#include "platformfs.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/sendfile.h>
#endif

#include <QByteArray>
#include <QRandomGenerator>

#include "engine/platformseams.h"

namespace {

constexpr qint64 copyChunk = qint64(16) << 20;
constexpr qint64 bufferSize = qint64(1) << 20;
const QByteArray tempPrefix = QByteArrayLiteral(".kappwerk-");
const QByteArray tempSuffix = QByteArrayLiteral(".tmp");

// The named temporary file being written, for the signal handler: its folder's descriptor
// (-1 for none) and its name. Set before the file exists and cleared after it is gone.
std::atomic<int> signalTempFolder{-1};
char signalTempName[256];

// How many renames onto a name just taken by an exclusive create are under way.
std::atomic<int> reservedRenames{0};

void removeTempAndEnd(int signalNumber)
{
    const int folder = signalTempFolder.exchange(-1);
    if (folder >= 0)
        ::unlinkat(folder, signalTempName, 0);
    // A rename onto a name just taken is under way on another thread (the one doing it holds
    // these signals back): it finishes, and removes the empty file if the rename fails, within
    // moments; a medium that hangs is not waited for beyond five seconds.
    const struct timespec pause = {0, 10 * 1000 * 1000};
    for (int i = 0; i < 500 && reservedRenames.load() > 0; ++i)
        ::nanosleep(&pause, nullptr);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

} // namespace

void beginReservedRename()
{
    ++reservedRenames;
}

void endReservedRename()
{
    --reservedRenames;
}

SignalsHeld::SignalsHeld()
{
    static_assert(sizeof m_before >= sizeof(sigset_t));
    sigset_t held;
    sigemptyset(&held);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&held, signalNumber);
    ::pthread_sigmask(SIG_BLOCK, &held, reinterpret_cast<sigset_t *>(m_before));
}

SignalsHeld::~SignalsHeld()
{
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t *>(m_before), nullptr);
}

namespace {

void setSignalTemp(int folder, const QByteArray &name)
{
    signalTempFolder.store(-1);
    if (name.size() < qsizetype(sizeof signalTempName)) {
        std::memcpy(signalTempName, name.constData(), size_t(name.size()) + 1);
        signalTempFolder.store(folder);
    }
}

// The start of this host's temporary names: a share may be written by several machines at once.
const QByteArray &hostTempPrefix()
{
    static const QByteArray prefix = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        QByteArray tag;
        for (const char *c = host; *c && tag.size() < 24; ++c) {
            if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9'))
                tag += *c;
        }
        return tempPrefix + (tag.isEmpty() ? QByteArrayLiteral("host") : tag) + '-';
    }();
    return prefix;
}

QByteArray tempName()
{
    return hostTempPrefix() + QByteArray::number(qint64(::getpid())) + '-'
        + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + tempSuffix;
}

// The process that made a temporary file of this host, or 0 when the name is not such a one.
qint64 tempOwner(const QByteArray &name)
{
    const QByteArray &start = hostTempPrefix();
    if (!name.startsWith(start) || !name.endsWith(tempSuffix))
        return 0;
    const qsizetype dash = name.indexOf('-', start.size());
    bool ok = false;
    const qint64 pid = name.mid(start.size(), dash - start.size()).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

// One write of the copy loop. The test seam stands in for the system's call here: it writes
// short up to its limit, then fails, as a full or broken device does, so the loop's own
// handling of what write answers is what is tried.
qint64 writeCall(int to, const char *data, qint64 want, qint64 writtenBefore)
{
    const PlatformSeams &seams = platformSeams();
    if (seams.writeError != 0 && writtenBefore + want > seams.writeErrorAfter) {
        if (writtenBefore >= seams.writeErrorAfter) {
            errno = seams.writeError;
            return -1;
        }
        want = seams.writeErrorAfter - writtenBefore;
    }
    return ::write(to, data, size_t(want));
}

// Copies one step with the given method; the count copied, 0 at the source's end, -1 on error.
qint64 copyStep(CopyMethod method, int from, int to, qint64 length, std::unique_ptr<char[]> &buffer,
                qint64 copiedBefore)
{
#ifdef Q_OS_LINUX
    if (method == CopyMethod::Fastest)
        return ::copy_file_range(from, nullptr, to, nullptr, size_t(length), 0);
    if (method == CopyMethod::SendFile)
        return ::sendfile(to, from, nullptr, size_t(length));
#else
    Q_UNUSED(method);
#endif
    if (!buffer)
        buffer.reset(new char[bufferSize]);
    qint64 got;
    do {
        got = ::read(from, buffer.get(), size_t(std::min(length, bufferSize)));
    } while (got < 0 && errno == EINTR);
    for (qint64 done = 0; done < got;) {
        const qint64 put = writeCall(to, buffer.get() + done, got - done, copiedBefore + done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return -1;
        if (put == 0) {
            errno = ENOSPC;
            return -1;
        }
        done += put;
    }
    return got;
}

// Puts the finished copy from in the place of to, but only while to is still the older file
// seen before the copy: a file put there during the copy is never replaced (EEXIST). from is
// gone afterwards, in every case but one that the system should never produce (see below).
int replaceOlder(Folder &folder, const QByteArray &from, const NativeName &to, const FileFacts &older)
{
    const int dir = int(folder.handle);
    const auto removeFrom = [&](int error) {
        ::unlinkat(dir, from.constData(), 0);
        return error;
    };
    // From here on from may name a file that is not ours: the signal handler leaves it alone.
    signalTempFolder.store(-1);
#ifdef RENAME_EXCHANGE
    // Where the file system swaps two names in one step, the copy takes the name first and what
    // it displaced is looked at afterwards, so nothing can slip in between the look and the swap.
    if (platformSeams().publishLimit == PublishLimit::None) {
        if (::renameat2(dir, from.constData(), dir, to.constData(), RENAME_EXCHANGE) == 0) {
            FileFacts displaced;
            if (statAt(folder, from, false, &displaced) == 0 && sameUnchangedFile(older, displaced))
                return removeFrom(0); // from now names the older file, which goes
            // Someone else's file: it gets its name back and the copy is dropped. Should the swap
            // back fail, their file stays under the hidden name rather than being removed.
            if (::renameat2(dir, from.constData(), dir, to.constData(), RENAME_EXCHANGE) == 0)
                return removeFrom(EEXIST);
            return EEXIST;
        }
        if (errno == ENOENT) { // the older file is gone: the name is taken as a free one
            const int error = renameNoReplaceAt(folder, from, folder, to);
            return error == 0 ? 0 : removeFrom(error);
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EXDEV)
            return removeFrom(errno);
    }
#endif
    // Without the swap (FUSE file systems such as FAT and exFAT), the name is looked at just
    // before it is replaced, which narrows the copy's whole duration down to a moment.
    FileFacts now;
    int error = statAt(folder, to, false, &now);
    if (error == ENOENT)
        error = renameNoReplaceAt(folder, from, folder, to);
    else if (error == 0 && !sameUnchangedFile(older, now))
        error = EEXIST;
    else if (error == 0 && ::renameat(dir, from.constData(), dir, to.constData()) != 0)
        error = errno;
    return error == 0 ? 0 : removeFrom(error);
}

// Why a step of the copy failed. Some drivers (fusefat) answer a write to a full medium with
// EPERM: where the copy's own file system has no room left for the rest of the file, the
// medium is full, which is what the user is told.
int copyStepError(int to, int error, qint64 remaining)
{
    struct statvfs room;
    if ((error != EPERM && error != EACCES) || remaining <= 0 || ::fstatvfs(to, &room) != 0)
        return error;
    return qint64(room.f_bavail) * qint64(room.f_frsize) < remaining ? ENOSPC : error;
}

} // namespace

int createTempAt(Folder &folder, TempFile *temp)
{
    *temp = TempFile();
    const int dir = int(folder.handle);
#ifdef O_TMPFILE
    if (!folder.namedTempsOnly && platformSeams().unnamedTemps) {
        const int handle = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (handle >= 0) {
            temp->handle = handle;
            return 0;
        }
        folder.namedTempsOnly = true;
    }
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = tempName();
        if (folder.beforeTemporary && !folder.beforeTemporary(name))
            return ECANCELED;
        setSignalTemp(dir, name);
        const int handle = ::openat(dir, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (handle >= 0) {
            temp->handle = handle;
            temp->name = name;
            return 0;
        }
        const int error = errno;
        signalTempFolder.store(-1);
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

int copyFileData(FileHandle from, FileHandle to, qint64 expectedSize, const std::function<bool(qint64)> &between)
{
    const PlatformSeams &seams = platformSeams();
    CopyMethod method = seams.copyMethod;
    const qint64 chunk = seams.copyChunk > 0 ? seams.copyChunk : copyChunk;
    std::unique_ptr<char[]> buffer;
    qint64 copied = 0;
    qint64 inChunk = 0;
    for (;;) {
        // Under a simulated limit, ask for one byte more than may be written: a source that has
        // more than that makes the copy fail like a full disk, one that ends there succeeds.
        qint64 length = chunk - inChunk;
        if (seams.copyWriteLimit >= 0)
            length = std::min(length, seams.copyWriteLimit - copied + 1);
        const qint64 count = copyStep(method, int(from), int(to), length, buffer, copied);
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
        if (count < 0)
            return copyStepError(int(to), errno ? errno : EIO, expectedSize - copied);
        if (count == 0)
            return 0;
        if (const int error = countCopied(count, chunk, &copied, &inChunk, between))
            return error;
    }
}

void applyFileFacts(FileHandle file, const FileFacts &facts)
{
    ::fchmod(int(file), mode_t(facts.permissions & 0777));
    const struct timespec times[2] = {{time_t(facts.accessTime[0]), long(facts.accessTime[1])},
                                      {time_t(facts.modifyTime[0]), long(facts.modifyTime[1])}};
    ::futimens(int(file), times);
}

int checkWritten(const Folder &folder, FileHandle file)
{
    if (platformSeams().checkError != 0)
        return platformSeams().checkError;
    if (!folder.lateWriteErrors)
        return 0;
    // Closing a duplicate reports what a close would (network file systems write back on every
    // close) while the file itself stays open for publishing.
    const int duplicate = ::dup(int(file));
    if (duplicate < 0)
        return errno;
    return ::close(duplicate) == 0 ? 0 : errno;
}

int publishTemp(Folder &folder, TempFile *temp, const NativeName &target, const FileFacts *older)
{
    const int dir = int(folder.handle);
    if (platformSeams().beforePublish)
        platformSeams().beforePublish(folder.path + target);
    int error = 0;
    if (temp->name.isEmpty()) {
        // An unnamed file gets its name by a link, which never replaces; a replacing publish
        // links it under a hidden name first and puts that in the older file's place.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(qint64(temp->handle));
        const QByteArray linkName = older ? tempName() : target;
        if (older)
            setSignalTemp(dir, linkName);
        if (older && folder.beforeTemporary && !folder.beforeTemporary(linkName))
            error = ECANCELED;
        else if (::linkat(AT_FDCWD, self.constData(), dir, linkName.constData(), AT_SYMLINK_FOLLOW) != 0)
            error = errno;
        else if (older)
            error = replaceOlder(folder, linkName, target, *older);
        signalTempFolder.store(-1);
        ::close(int(temp->handle));
    } else {
        if (::close(int(temp->handle)) != 0)
            error = errno;
        if (error == 0 && older) {
            error = replaceOlder(folder, temp->name, target, *older);
        } else {
            if (error == 0)
                error = renameNoReplaceAt(folder, temp->name, folder, target);
            if (error != 0)
                ::unlinkat(dir, temp->name.constData(), 0);
        }
        signalTempFolder.store(-1);
    }
    *temp = TempFile();
    return error;
}

void discardTemp(const Folder &folder, TempFile *temp)
{
    if (temp->handle != noFileHandle)
        ::close(int(temp->handle));
    if (!temp->name.isEmpty()) {
        ::unlinkat(int(folder.handle), temp->name.constData(), 0);
        signalTempFolder.store(-1);
    }
    *temp = TempFile();
}

bool isTemporaryName(const QString &name)
{
    return name.startsWith(QLatin1String(tempPrefix));
}

bool isStaleTemporary(const NativeName &name)
{
    const qint64 owner = tempOwner(name);
    return owner > 0 && ::kill(pid_t(owner), 0) != 0 && errno == ESRCH;
}

void listNamesButTemporaries(const Folder &folder, const std::function<void(const ListedName &)> &take)
{
    listNames(folder, [&](const ListedName &listed) {
        if (!listed.name.startsWith(tempPrefix))
            take(listed);
    });
}

void removeTempsOnSignals()
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction action = {};
        action.sa_handler = removeTempAndEnd;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    }
}
