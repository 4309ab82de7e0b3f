#pragma once

#include <vector>

#include <QString>

#include "engine/journalbefore.h"
#include "engine/journalfile.h"
#include "engine/journalformat.h"
#include "engine/run.h"

// The record of a run, kept so that the run can be taken back even after the program was
// closed or killed midway: every file operation is written to it before it happens, with what
// identifies the file afterwards. One journal per folder (the last run there that changed
// something), in the user's state folder. A run or an undo holds the folder's journal for its
// whole length, so no two of them ever work in one folder at once.

// Where the journals live: $XDG_STATE_HOME/Kappwerk (~/.local/state/Kappwerk when unset), or
// the local application data folder on Windows.
QString journalFolder();
// The journal of the last run in this folder (path with its trailing separator).
QString journalPath(const QString &folderPath);
// Whether the folder has a journal to take back (not one marked as outdated by a later run).
bool hasJournal(const QString &folderPath);
// The same, by the journal's path (worked out beforehand, as the window does with the listing).
bool journalToUndoAt(const QString &journalPath);
// The marker beside a journal that a later run could not replace or remove.
QString outdatedMarkerPath(const QString &journalPath);

// Writes the journal while it passes everything else on to the observer behind it. The file is
// replaced at the first operation; a run in which no operation succeeds leaves the journal of
// the run before it as it was.
class JournalObserver : public RunObserver
{
public:
    // knownJournalPath: the journal's path when the caller worked it out already (the window
    // does so with the listing, so nothing here looks at the folder on its thread).
    JournalObserver(const QString &folderPath, RunObserver *next, const QString &knownJournalPath = {});
    ~JournalObserver() override;
    // The observer behind this one, for a journal opened before the run's own observer exists.
    void setNext(RunObserver *next) { m_next = next; }

    // Takes the folder's journal for the run, before the run starts. 0: every step will be
    // recorded. EBUSY: another run or undo works in the folder. Anything else: the run could
    // not be taken back (problem() says why); a run that goes ahead anyway records nothing and
    // the journal of an earlier run is removed, so no undo ever takes back the wrong run.
    int open();
    QString problem() const { return m_problem; }
    // Reads the journal of the run before and removes what a killed run left in the folder, as
    // the first step would; called on the run's own thread, it keeps that work off the window's.
    // Where that journal cannot be read, returns the error: the run then records nothing and
    // stops before its first step, and the journal stays as it is (problem() says why).
    int prepare();
    // Goes ahead without a journal after open() failed (not for EBUSY).
    void goAheadWithout();
    // Ends the journal after the run and lets the folder go (the destructor does it too).
    void close();

    void progress(const RunProgress &state) override;
    bool cancelRequested() override;
    bool aboutToPublish(const JournalStep &step) override;
    void published(const JournalStep &step, bool ok) override;
    void copiesUnconfirmed() override;
    bool aboutToMakeTemporary(bool intoMobix, const NativeName &name) override;

private:
    bool begin();
    bool ready();
    bool append(const char *text, qint64 size, const JournalStep *step);
    bool reserve(qint64 bytes);
    bool zeroUpTo(qint64 end);
    bool keepPrevious(qint64 until);

    QString m_folderPath;
    QString m_journalPath;
    bool m_prepared = false;
    int m_readError = 0;
    RunObserver *m_next;
    JournalFile m_file;
    JournalBefore m_before; // the journal before, beside this one until a step takes effect
    QString m_problem;
    enum class State { Closed, Open, Writing, Without, Failed } m_state = State::Closed;
    // The journal of the run before, as far as this run overwrote it, kept until a step
    // succeeds; it ended at m_previousEnd.
    QByteArray m_previous;
    qint64 m_previousEnd = 0;
    QByteArray m_line;     // the buffer each line is put together in
    qint64 m_startTime[2] = {0, 0};
    qint64 m_capacity = 0;
    qint64 m_used = 0;
    // The room the file had when the run took it, kept instead of given back and taken again;
    // its old bytes from m_zeroed on are overwritten with zeros ahead of the lines.
    qint64 m_keptRoom = 0;
    qint64 m_zeroed = 0;
    char m_pending = 0;    // the outcome of the last step ('+' or '-'), written with the next line
    bool m_anyDone = false;
};

// The reason in words for an error number of the journal's file.
QString journalProblemText(int error);
