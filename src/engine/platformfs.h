#pragma once

#include <QtGlobal>

#include "engine/nativename.h"

// The few file-system calls of the renaming engine that differ between operating systems.
// Every path is a native name; every function reports failure by its result and never throws.

// Which file a name leads to: device and inode (volume serial and file index on Windows).
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity &other) const = default;
};

// What a copy takes over from its source besides the bytes.
struct FileFacts {
    FileIdentity identity;
    qint64 size = 0;
    quint32 permissions = 0;
    qint64 accessTime[2] = {0, 0}; // seconds and nanoseconds (a FILETIME in [0] on Windows)
    qint64 modifyTime[2] = {0, 0};
};

using FileHandle = qintptr;
constexpr FileHandle noFileHandle = -1;

// Renames from to to, never replacing anything that has the name to, not even a dangling link.
bool renameNoReplace(const NativeName &from, const NativeName &to);
// Atomically puts from in the place of to; only for publishing a finished copy.
bool renameReplace(const NativeName &from, const NativeName &to);
bool removeFile(const NativeName &path);
// True when anything has this name, a dangling link included.
bool nameExists(const NativeName &path);
// The identity of the file the name leads to, following links; false when there is none.
bool fileIdentity(const NativeName &path, FileIdentity *identity);
// True when path is a folder afterwards: creates it when the name is free. A file or a dangling
// link of that name is left alone and gives false.
bool ensureFolder(const NativeName &path);

// Opens a regular file for reading, never blocking on a pipe or device swapped in under its
// name; noFileHandle for anything that is not a regular file.
FileHandle openRegularFile(const NativeName &path, FileFacts *facts);
// Creates a new hidden file with a unique name in folder (which ends in a separator).
FileHandle createTempFile(const NativeName &folder, NativeName *path);
// Copies from the current position of from to its end; false on any read or write error.
bool copyFileData(FileHandle from, FileHandle to, qint64 expectedSize);
// Gives the copy its source's permissions and times; best effort, as a file system may lack them.
void applyFileFacts(FileHandle file, const FileFacts &facts);
// False when the close reports a late write error.
bool closeFile(FileHandle file);

// Test seams: simulate a full disk after a number of written bytes (negative: no limit), pick
// the slower copy methods that a file system may force, and rename the way file systems without
// a no-replace rename allow (link, then unlink).
enum class CopyMethod { Fastest, SendFile, ReadWrite };
void setCopyWriteLimitForTest(qint64 bytes);
void setCopyMethodForTest(CopyMethod method);
void setRenameByLinkForTest(bool on);
