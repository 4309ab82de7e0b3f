// Folders, names and renames on POSIX systems, all relative to descriptors of open folders.
#include "platformfs.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/statfs.h>
#endif

#include "engine/platformseams.h"

namespace {

int fd(const Folder &folder)
{
    return int(folder.handle);
}

FileType listedType(unsigned char type)
{
    switch (type) {
    case DT_UNKNOWN:
        return FileType::Missing;
    case DT_REG:
        return FileType::Regular;
    case DT_DIR:
        return FileType::Directory;
    case DT_LNK:
        return FileType::Link;
    default:
        return FileType::Other;
    }
}

// Errors that say a file system lacks a call or a flag, as opposed to refusing this one name.
bool unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTTY;
}

int renameNoReplaceCall(Folder &fromFolder, const NativeName &from, Folder &toFolder, const NativeName &to)
{
#ifdef Q_OS_LINUX
    if (platformSeams().publishLimit != PublishLimit::None)
        return EINVAL;
    if (::renameat2(fd(fromFolder), from.constData(), fd(toFolder), to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    return errno;
#else
    Q_UNUSED(fromFolder);
    Q_UNUSED(from);
    Q_UNUSED(toFolder);
    Q_UNUSED(to);
    return ENOSYS;
#endif
}

// linkat without AT_SYMLINK_FOLLOW links a symbolic link itself, as a rename moves it; the link
// call never replaces an existing name.
int renameByLink(Folder &fromFolder, const NativeName &from, Folder &toFolder, const NativeName &to)
{
    if (platformSeams().publishLimit == PublishLimit::NoLinks || platformSeams().publishLimit == PublishLimit::NoNodes)
        return EPERM;
    if (::linkat(fd(fromFolder), from.constData(), fd(toFolder), to.constData(), 0) != 0)
        return errno;
    if (::unlinkat(fd(fromFolder), from.constData(), 0) == 0)
        return 0;
    const int error = errno;
    ::unlinkat(fd(toFolder), to.constData(), 0);
    return error;
}

// Takes a name with an empty file of our own, made only where no entry of that name exists
// (nor, on file systems that ignore case, one that differs only in case). mknodat makes it
// without opening it, which on FUSE saves the open's flush and release (exFAT: 290 instead of
// 340 µs a rename). A file system that makes no such nodes (EPERM where it lacks the call, ENOSYS
// from a FUSE daemon) gets an exclusive create and a close instead, from then on.
int reserveName(Folder &folder, const NativeName &name)
{
    if (folder.publish != PublishMethod::ReservationByOpen) {
        const int error = platformSeams().publishLimit == PublishLimit::NoNodes ? EPERM
                        : ::mknodat(fd(folder), name.constData(), S_IFREG | 0600, 0) == 0 ? 0 : errno;
        if (error == 0 || (!unsupported(error) && error != EPERM))
            return error;
        folder.publish = PublishMethod::ReservationByOpen;
    }
    const int reserved = ::openat(fd(folder), name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (reserved < 0)
        return errno;
    ::close(reserved);
    return 0;
}

// Takes the name, then renames onto that empty file of our own. Never a check followed by a
// plain rename.
int renameByReservation(Folder &fromFolder, const NativeName &from, Folder &toFolder, const NativeName &to)
{
    // The signals that end the program wait on this thread until the empty file has become the
    // renamed one or is gone again; another thread that takes one waits for that as well.
    const SignalsHeld held;
    if (const int error = reserveName(toFolder, to))
        return error;
    beginReservedRename();
    if (const int pause = platformSeams().reservationPauseMs; pause > 0)
        ::usleep(useconds_t(pause) * 1000);
    int error = 0;
    if (::renameat(fd(fromFolder), from.constData(), fd(toFolder), to.constData()) != 0) {
        error = errno;
        ::unlinkat(fd(toFolder), to.constData(), 0);
    }
    endReservedRename();
    return error;
}

// The magic number of the folder's file system; 0 where the system does not tell it.
quint64 fileSystemType(int handle)
{
#ifdef Q_OS_LINUX
    struct statfs info;
    return ::fstatfs(handle, &info) == 0 ? quint64(info.f_type) : 0;
#else
    Q_UNUSED(handle);
    return 0;
#endif
}

// FAT and exFAT number files by where their entries stand, and FUSE file systems as they
// please: there the numbers can change when the medium is mounted again. An unknown kind counts
// as unstable.
bool stableIdentities(quint64 type)
{
    if (platformSeams().identityUnstable)
        return false;
    return type != 0 && type != 0x65735546 /* FUSE */ && type != 0x4D44 /* FAT */ && type != 0x2011BAB0 /* exFAT */;
}

// Local disk file systems write back through the page cache and never report a write error
// at close; network and FUSE file systems may, so there the copy's close is checked.
bool reportsLateWriteErrors(quint64 type)
{
    switch (type) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x01021994: // tmpfs
    case 0x58465342: // XFS
    case 0x9123683E: // Btrfs
    case 0xF2F52010: // F2FS
        return false;
    default:
        return true;
    }
}

// A link refused for want of support, not because of the name: EPERM is what FAT and exFAT
// through FUSE answer.
bool linksUnsupported(int error)
{
    return unsupported(error) || error == EPERM || error == EMLINK;
}

} // namespace

int openFolder(const NativeName &path, Folder *folder)
{
    closeFolder(folder);
    const int handle = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return errno;
    folder->handle = handle;
    folder->path = path.endsWith('/') ? path : path + '/';
    const quint64 type = fileSystemType(handle);
    folder->lateWriteErrors = reportsLateWriteErrors(type);
    folder->identityStable = stableIdentities(type);
    folder->localStamps = folder->identityStable && !folder->lateWriteErrors;
    return 0;
}

int openSubfolder(const Folder &parent, const NativeName &name, bool create, Folder *folder)
{
    closeFolder(folder);
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int handle = ::openat(fd(parent), name.constData(), flags);
    if (handle < 0 && errno == ENOENT && create) {
        // mkdirat refuses a dangling link of that name (EEXIST) instead of creating its target.
        if (::mkdirat(fd(parent), name.constData(), 0777) != 0 && errno != EEXIST)
            return errno;
        handle = ::openat(fd(parent), name.constData(), flags);
    }
    if (handle < 0)
        return errno == ELOOP ? ENOTDIR : errno;
    folder->handle = handle;
    folder->path = parent.path + name + '/';
    const quint64 type = fileSystemType(handle);
    folder->lateWriteErrors = reportsLateWriteErrors(type);
    folder->identityStable = stableIdentities(type);
    folder->localStamps = folder->identityStable && !folder->lateWriteErrors;
    return 0;
}

void closeFolder(Folder *folder)
{
    if (folder->isOpen())
        ::close(fd(*folder));
    *folder = Folder();
}

int renameNoReplaceAt(Folder &fromFolder, const NativeName &from, Folder &toFolder, const NativeName &to)
{
    // The method that worked for the target folder is kept, so a file system without the
    // no-replace flag costs no failing call per file.
    PublishMethod &method = toFolder.publish;
    if (method == PublishMethod::Unknown || method == PublishMethod::NoReplaceRename) {
        const int error = renameNoReplaceCall(fromFolder, from, toFolder, to);
        if (!unsupported(error)) {
            if (error == 0)
                method = PublishMethod::NoReplaceRename;
            return error;
        }
        method = PublishMethod::LinkUnlink;
    }
    if (method == PublishMethod::LinkUnlink) {
        const int error = renameByLink(fromFolder, from, toFolder, to);
        if (!linksUnsupported(error))
            return error;
        method = PublishMethod::Reservation;
    }
    return renameByReservation(fromFolder, from, toFolder, to);
}

int renameCaseAt(Folder &folder, const NativeName &from, const NativeName &to)
{
    if (platformSeams().caseRenamesKept)
        return 0;
    return ::renameat(fd(folder), from.constData(), fd(folder), to.constData()) == 0 ? 0 : errno;
}

int removeAt(const Folder &folder, const NativeName &name)
{
    return ::unlinkat(fd(folder), name.constData(), 0) == 0 ? 0 : errno;
}

int listNames(const Folder &folder, const std::function<void(const ListedName &)> &take)
{
    // The listing gets a descriptor of its own: closedir closes it, and reading moves its offset.
    const int handle = ::openat(fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return errno;
    DIR *dir = ::fdopendir(handle);
    if (!dir) {
        const int error = errno;
        ::close(handle);
        return error;
    }
    int error = 0;
    NativeName native;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        // One buffer for every name: a name the caller keeps is shared and copied on the next
        // write, one it only looks at costs no allocation.
        const qsizetype length = qsizetype(std::strlen(name));
        native.resize(length);
        std::memcpy(native.data(), name, size_t(length));
        take({native, listedType(entry->d_type), quint64(entry->d_ino) + platformSeams().listedInodeShift});
    }
    ::closedir(dir);
    return error;
}

qint64 nameMaxAt(const Folder &folder)
{
    const long limit = ::fpathconf(fd(folder), _PC_NAME_MAX);
    return limit > 0 ? qint64(limit) : qint64(255);
}

int writableFolder(const Folder &folder)
{
    return ::faccessat(fd(folder), ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

int flushFileSystem(const Folder &folder)
{
    if (platformSeams().onFlush)
        platformSeams().onFlush();
    if (platformSeams().flushError != 0)
        return platformSeams().flushError;
#ifdef Q_OS_LINUX
    return ::syncfs(fd(folder)) == 0 ? 0 : errno;
#else
    ::sync();
    Q_UNUSED(folder);
    return 0;
#endif
}

int openRegularFileAt(const Folder &folder, const NativeName &name, FileHandle *file, FileFacts *facts)
{
    // O_NONBLOCK keeps a pipe from blocking the open; on a regular file it changes nothing.
    const int handle = ::openat(fd(folder), name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (handle < 0)
        return errno;
    const int error = fileFacts(handle, facts);
    if (error != 0 || facts->type != FileType::Regular) {
        ::close(handle);
        return error != 0 ? error : ENOENT;
    }
    *file = handle;
    return 0;
}
