#pragma once

// The journal's text: what is read back from it, and what its writer and reader share.
#include <vector>

#include <QByteArray>
#include <QString>

#include "engine/run.h"

// A step as read back, with what became of it: 1 done, 0 failed, -1 unknown (the run ended
// before it could say, or its copies may not have reached the device). A step whose names are
// not plain names in the folder (an edited journal) is not valid and is never acted on.
struct JournalRecord {
    JournalStep step;
    int done = -1;
    bool valid = true;
};

// A temporary file the run named, in the listed folder or its "MOBIX".
struct JournalTemporary {
    bool intoMobix = false;
    NativeName name;
};

// The rename an undo was taking back when it last wrote to the journal, and when it began it:
// an undo killed there may have left an empty file under the old name (see leftovers).
struct JournalUndoMark {
    NativeName oldName;
    NativeName newName;
    qint64 time[2] = {0, 0};
    bool valid = false;
};

struct JournalContents {
    qint64 startTime[2] = {0, 0}; // when the run began, on the file system's clock (0: unknown)
    std::vector<JournalRecord> records;
    std::vector<JournalTemporary> temporaries;
    JournalUndoMark undoing;
};

// The line an undo writes after the journal's text (ended by a zero byte) before it takes a
// rename back.
QByteArray undoMarkLine(const JournalUndoMark &mark);

// Reads a journal's bytes; false when they are not a journal of this folder.
bool parseJournal(const QByteArray &bytes, const QString &folderPath, JournalContents *contents);

// What a killed run may have left, gathered from a journal read a block at a time: its header,
// its temporary files and its last line, without the cost of every step of a long run. The
// blocks end at the journal's end (its first zero byte); parse reads what was kept.
class LeftoverLines
{
public:
    void add(const char *data, qsizetype size);
    bool parse(const QString &folderPath, JournalContents *contents);

private:
    void takeLine(QByteArrayView line);

    QByteArray m_kept;    // the header and the temporary files' lines
    QByteArray m_partial; // the line a block ended in, until the next block ends it
    QByteArray m_last;    // the last line after the header that is not empty
    bool m_haveHeader = false;
};
// A journal of the folder holding these records, as an undo writes back what it left.
QByteArray journalText(const QString &folderPath, const JournalContents &contents);

// The folder as the journal knows it: without links in its path, so the window and the command
// line find one journal whichever way the folder was reached.
QString journalKey(const QString &folderPath);
// The first line: what the file is, the folder, and when the run began.
QByteArray journalHeader(const QString &folderPath, const qint64 startTime[2]);
QByteArray encodeJournalName(const NativeName &name);
// The most bytes a step's line can take, and the line put at to (its end returned).
qint64 longestStepLine(const JournalStep &step);
char *putStepLine(char *to, const JournalStep &step);
