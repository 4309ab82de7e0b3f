#pragma once

#include <vector>

#include <QString>

#include "engine/nativename.h"

// Taking back the last run in a folder, from its journal.

// What became of one operation of the run.
struct UndoResult {
    bool copy = false;      // a copy was removed (else a rename taken back)
    bool intoMobix = false;
    QString name;           // the name the run gave
    QString oldName;        // the listed file's name before the run
    // The two names as the folder holds them (bytes on POSIX), for output that must tell
    // every name apart, one that is not UTF-8 too.
    NativeName nativeName;
    NativeName nativeOldName;
    bool done = false;
    QString reason;         // why it was not done, or what could not be restored
};

struct UndoReport {
    bool hadJournal = false;
    bool busy = false;       // another run or undo works in the folder: nothing was done
    QString journalProblem;  // why the journal could not be read or kept, when it could not
    std::vector<UndoResult> results;
    int countDone() const;
    int countProblems() const;
};

// Renames back every file the run renamed, when it still has the new name, is the same file
// and its old name is free (never replacing anything), and removes every copy the run made
// that is unchanged since and whose original is still there unchanged. Works from the last
// operation to the first. What could not be taken back stays in the journal, so a second undo
// tries it again; the journal goes when nothing is left.
UndoReport undoLastRun(const QString &folderPath);

// The lines for the user: "new → old: reason" for each problem, at most maxLines, then
// "… und N weitere".
QString undoProblemsText(const UndoReport &report, int maxLines = 20);
