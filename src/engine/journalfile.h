#pragma once

#include <QByteArray>
#include <QString>

#include "engine/platformfs.h"

// The file of one folder's journal, held by one run or one undo at a time. Only a regular file
// with a single name is used: a link, a FIFO or a device at the journal's path is never
// followed or waited on, and no other file is ever truncated through it. Every call returns 0
// or an error number; nothing that happens to the file can raise a signal while it is written.
class JournalFile
{
public:
    JournalFile() = default;
    ~JournalFile() { close(); }
    JournalFile(const JournalFile &) = delete;
    JournalFile &operator=(const JournalFile &) = delete;

    // Opens the journal at path and locks it: EBUSY while another process holds it, ENOENT when
    // create is false and there is none, EINVAL for anything that is not a plain file. A file
    // that can be locked but not written stays open and locked, with EACCES or the like.
    int open(const QString &path, bool create);
    bool isOpen() const { return m_handle != noFileHandle; }
    bool isWritable() const { return m_writable; }
    int readAll(QByteArray *bytes) const;
    // Reads up to size bytes at offset; *got is 0 at the file's end.
    int read(qint64 offset, char *data, qint64 size, qint64 *got) const;
    // The file's length in bytes, or a negative number when it cannot be told.
    qint64 size() const;
    // Writes all of data at offset, or fails.
    int write(qint64 offset, const char *data, qint64 size);
    // Makes the file size bytes long with the room allocated, so writing within it cannot run
    // out of space later.
    int reserve(qint64 size);
    int truncate(qint64 size);
    // Removes the journal while it is still held, so nobody who waits for it takes it afterwards.
    int remove();
    void close();

private:
    void unmap();

    FileHandle m_handle = noFileHandle;
    QString m_path;
    bool m_writable = false;
    // Where the system has it, the reserved room is mapped into memory and written there: no
    // system call per line, and a line is in the system's cache at once, so it outlives a
    // killed program. A fault in the mapping (the file cut short by someone else) fails the
    // write instead of ending the program.
    char *m_map = nullptr;
    qint64 m_mapSize = 0;
};

// Test seam: the journal's file system holds only this many bytes of journal (negative: no limit).
void setJournalRoomForTest(qint64 bytes);
// Test seams: every read of a journal, or every cut of one, fails with this error (0: works).
void setJournalReadErrorForTest(int error);
void setJournalCutErrorForTest(int error);
