#pragma once

#include <functional>

#include <QtGlobal>

#include "engine/nativename.h"

// The file-system calls of the renaming engine that differ between operating systems. A run
// opens its folders once and does every operation relative to them, so a folder swapped for a
// link during the run cannot redirect anything. Functions return 0 or the system's error
// number (errno values, also on Windows where they are mapped) and never throw.

// Which file a name leads to: device and inode (volume serial and file index on Windows).
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity &other) const = default;
};

enum class FileType { Missing, Regular, Directory, Link, Other };

// Whether what stands under a name in "MOBIX" may be an older copy that a refresh replaces: a
// regular file, never a folder, a pipe or a link the user put there; on Windows a link too, as
// every reparse point counts as one there, a cloud file's placeholder included.
inline bool mayBeOlderCopy(FileType type)
{
#ifdef Q_OS_WIN
    return type == FileType::Regular || type == FileType::Link;
#else
    return type == FileType::Regular;
#endif
}

// How many units of a time's first field (below) make a second.
#ifdef Q_OS_WIN
constexpr qint64 fileTimeSecond = 10000000; // FILETIME: 100-nanosecond ticks
#else
constexpr qint64 fileTimeSecond = 1;
#endif

// What a copy takes over from its source besides the bytes, and what a journal records.
struct FileFacts {
    FileType type = FileType::Missing;
    FileIdentity identity;
    qint64 size = 0;
    quint32 permissions = 0;
    qint64 accessTime[2] = {0, 0}; // seconds and nanoseconds (a FILETIME in [0] on Windows)
    qint64 modifyTime[2] = {0, 0};
    qint64 birthTime[2] = {0, 0};  // when the file was made; 0 where the file system does not say
};

// The same file, unchanged: same identity, size and modification time.
inline bool sameUnchangedFile(const FileFacts &seen, const FileFacts &now)
{
    return seen.type == now.type && seen.identity == now.identity && seen.size == now.size
        && seen.modifyTime[0] == now.modifyTime[0] && seen.modifyTime[1] == now.modifyTime[1];
}

using FileHandle = qintptr;
constexpr FileHandle noFileHandle = -1;

// How a file system lets a name be taken without replacing anything; found out once per folder.
enum class PublishMethod { Unknown, NoReplaceRename, LinkUnlink, Reservation, ReservationByOpen };

// A folder opened for a run: a descriptor (the path on Windows, which has no relative calls).
struct Folder {
    FileHandle handle = noFileHandle;
    NativeName path; // with its trailing separator
    PublishMethod publish = PublishMethod::Unknown;
    bool namedTempsOnly = false; // the file system refused an unnamed temporary file once
    bool lateWriteErrors = true; // a close may report a write error (network, FUSE, unknown)
    // Device and inode name the same file for as long as it exists; not on FAT, exFAT and FUSE,
    // whose numbers can change when the medium is mounted again.
    bool identityStable = true;
    // Every change of the folder's entries moves its change time, stamped from this machine's
    // clock: local disk file systems, not network, FUSE or FAT ones.
    bool localStamps = false;
    // Whether a rename to the same name in other case changes the stored name: the kernel's FAT
    // and exFAT drivers take it as nothing to do and report success. Found out at the first one.
    enum class CaseRenames { Unknown, Change, Kept } caseRenames = CaseRenames::Unknown;
    // Asked before a temporary file gets a name in the folder (false: it gets none, ECANCELED),
    // so the run's journal can prove the name is ours should the program be killed.
    std::function<bool(const NativeName &name)> beforeTemporary;
    bool isOpen() const { return handle != noFileHandle; }
};

// Opens a folder by its path (a link to a folder is followed: the user chose that path).
int openFolder(const NativeName &path, Folder *folder);
// Opens the real folder name inside parent, creating it when create is true and the name is
// free. A link (to anything), a file or any other kind of entry is refused (ENOTDIR).
int openSubfolder(const Folder &parent, const NativeName &name, bool create, Folder *folder);
void closeFolder(Folder *folder);

// What tells whether a folder's entries changed: its identity, modification and change time.
struct FolderStamp {
    FileIdentity identity;
    qint64 modifyTime[2] = {0, 0};
    qint64 changeTime[2] = {0, 0};
    bool operator==(const FolderStamp &other) const = default;
};
// The folder's stamp where it has localStamps (else ENOTSUP). settled: its last change lies far
// enough back that any later change, however soon, gets a later stamp (the file system takes
// its times from a clock that may lag by one of its ticks, and may keep whole seconds only).
int folderStamp(const Folder &folder, FolderStamp *stamp, bool *settled);

// What name in folder is; followLinks false describes a link itself.
int statAt(const Folder &folder, const NativeName &name, bool followLinks, FileFacts *facts);
// Renames from (in fromFolder) to to (in toFolder), never replacing anything that has the name
// to, not even a dangling link or, on file systems that ignore case, a name differing in case.
// Uses the no-replace rename, else link and unlink, else a reservation of the name.
int renameNoReplaceAt(Folder &fromFolder, const NativeName &from, Folder &toFolder, const NativeName &to);
// Renames from to to, a spelling of the same name in other case, replacing what to leads to:
// only for a file system that ignores case, where that is the file itself (renameInFolder).
int renameCaseAt(Folder &folder, const NativeName &from, const NativeName &to);
int removeAt(const Folder &folder, const NativeName &name);
// A name found in a folder, with what the listing tells of it without asking the file system
// once more: its type (Missing where the file system does not say; a link is not followed)
// and its inode (0 where the listing does not give it).
struct ListedName {
    const NativeName &name;
    FileType type;
    quint64 inode;
};
// Every name in the folder, as the system holds it.
int listNames(const Folder &folder, const std::function<void(const ListedName &listed)> &take);
// The longest name the folder's file system takes, in the units it stores (bytes here).
qint64 nameMaxAt(const Folder &folder);
// 0 when this process may make and rename files in the folder, else why not (EACCES, EROFS).
int writableFolder(const Folder &folder);
// Writes everything cached for the folder's file system out to the device.
int flushFileSystem(const Folder &folder);
// The time now, in the form the file system stamps files with; a file made before it has an
// earlier birth time.
void fileSystemNow(qint64 time[2]);
// A quick fingerprint of a file's first and last bytes, for media whose identities do not last;
// 0 when it cannot be read.
quint64 fileFingerprint(FileHandle file, qint64 size);
// The same, for a file by name.
quint64 fingerprintAt(const Folder &folder, const NativeName &name, qint64 size);

// Opens a regular file for reading, never blocking on a pipe or device swapped in under its
// name; ENOENT-like errors for anything that is not a regular file.
int openRegularFileAt(const Folder &folder, const NativeName &name, FileHandle *file, FileFacts *facts);

// A copy under construction: unnamed where the file system allows it, so nothing is left behind
// if the program dies; else a hidden name that marks it as ours, with host and process.
struct TempFile {
    FileHandle handle = noFileHandle;
    NativeName name; // empty for an unnamed file
};
int createTempAt(Folder &folder, TempFile *temp);
// Copies from the current position of from to its end in chunks; between chunks calls between
// with the bytes done so far, which stops the copy with ECANCELED when it returns false.
int copyFileData(FileHandle from, FileHandle to, qint64 expectedSize,
                 const std::function<bool(qint64 done)> &between);
// Gives the copy its source's permissions and times; best effort, as a file system may lack them.
void applyFileFacts(FileHandle file, const FileFacts &facts);
int fileFacts(FileHandle file, FileFacts *facts);
// Reports a late write error of the copy in folder (as a close would) while the file stays open.
int checkWritten(const Folder &folder, FileHandle file);
// Gives the finished copy the name target. With older null nothing is ever replaced. Else the
// copy replaces the file older describes, but only while target is still that file unchanged:
// another file put there in the meantime stays and the publish fails with EEXIST. Closes the
// temporary file in every case; on failure the temporary file is gone.
int publishTemp(Folder &folder, TempFile *temp, const NativeName &target, const FileFacts *older);
void discardTemp(const Folder &folder, TempFile *temp);
int closeFile(FileHandle file);

// True for the hidden names of this program's temporary files; they are never listed.
bool isTemporaryName(const QString &name);
// True for a temporary name of this host whose process no longer runs (a run that was killed).
bool isStaleTemporary(const NativeName &name);
// Every name in the folder but those of temporary files.
void listNamesButTemporaries(const Folder &folder, const std::function<void(const ListedName &listed)> &take);
// Lets SIGTERM, SIGINT and SIGHUP remove a named temporary file before the program ends.
void removeTempsOnSignals();

// Test seams: simulate a full disk after a number of written bytes (negative: no limit), pick
// the slower ways that a file system may force, fail a write or the final check with an error,
// run a hook just before a finished copy is published, and number a folder's listing unlike
// the files' own inodes, as FUSE file systems may.
enum class CopyMethod { Fastest, SendFile, ReadWrite };
enum class PublishLimit { None, NoNoReplaceRename, NoLinks, NoNodes };
void setCopyWriteLimitForTest(qint64 bytes);
void setCopyMethodForTest(CopyMethod method);
void setPublishLimitForTest(PublishLimit limit);
void setUnnamedTempsForTest(bool allowed);
void setWriteErrorForTest(int error, qint64 afterBytes);
void setCheckErrorForTest(int error);
void setCopyChunkForTest(qint64 bytes);
void setBeforePublishForTest(std::function<void(const NativeName &target)> hook);
void setListedInodeShiftForTest(quint64 shift);
// The file numbered from is told as numbered to by statAt, as if the file system had handed a
// freed number out again (0, 0: off). POSIX only: Windows' file numbers are left as they are.
void setInodeAliasForTest(quint64 from, quint64 to);
void setFlushErrorForTest(int error);
void setReservationPauseForTest(int milliseconds);
void setFlushHookForTest(std::function<void()> hook);
void setIdentityUnstableForTest(bool unstable);
// Names taken as on a file system that ignores case, where the run and preview plan them.
void setIgnoreCaseForTest(bool ignore);
// Renames to the same name in other case report success and change nothing, as on the kernel's
// FAT and exFAT drivers.
void setCaseRenamesKeptForTest(bool kept);
