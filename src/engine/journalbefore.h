#pragma once

#include <QByteArray>
#include <QString>

#include "engine/journalfile.h"
#include "engine/journalformat.h"

// The journal of the run before, as far as a run overwrites it before its first step takes
// effect, kept in a file beside the journal ("….journal.before") ahead of every overwrite. A
// run that ends puts that journal back itself and removes the file; one that is killed leaves
// it, and the next run or undo in the folder puts the journal back (recoverJournalBefore).
class JournalBefore
{
public:
    // Adds bytes, the next ones of the journal before (which ended at end), to the file.
    // False when the file cannot be written: it is then emptied and no longer written to.
    bool keep(const QString &journalPath, qint64 end, const char *bytes, qint64 size);
    // Once the run no longer needs it (its first step took effect, or the journal is back).
    void remove();

private:
    JournalFile m_file;
    qint64 m_used = 0;
    bool m_failed = false;
};

QString journalBeforePath(const QString &journalPath);

// Puts the journal before back where a killed run left it beside its own: when the journal at
// file (held) records no step, what that run left in the folder goes and the journal before
// takes its place. A journal with a step is the last run's, and the file beside it goes.
void recoverJournalBefore(JournalFile &file, const QString &journalPath, const QString &folderPath);

// Removes the file beside a journal that goes, before the journal: it must never be taken for a
// later journal's start.
void removeJournalBefore(const QString &journalPath);

// Puts the first size bytes of the journal before back at the start of file, and ends the file
// where that journal ended (end), so that a kill at any moment leaves either no journal or that
// one. Returns 0 or the error.
int restoreJournalStart(JournalFile &file, const char *bytes, qint64 size, qint64 end);

// Whether any step of a journal took effect: one recorded as done, or the last one of a killed
// run whose new name is there. A journal without one is no run to take back. Unknown when that
// last step's file is under neither name (a card not inserted, a share not mounted): only the
// folder's files, once back, tell.
enum class StepsTaken { None, Some, Unknown };
StepsTaken journalStepsTaken(const QString &folderPath, const JournalContents &contents);
