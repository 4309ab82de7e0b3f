#pragma once

#include <vector>

#include <QFile>
#include <QString>

#include "engine/run.h"

// The record of a run, kept so that the run can be taken back even after the program was
// closed or killed midway: every file operation is written to it before it happens, with what
// identifies the file afterwards. One journal per folder (the last run there), in the user's
// state folder.

// Where the journals live: $XDG_STATE_HOME/Kappwerk (~/.local/state/Kappwerk when unset), or
// the local application data folder on Windows.
QString journalFolder();
// The journal of the last run in this folder (path with its trailing separator).
QString journalPath(const QString &folderPath);
bool hasJournal(const QString &folderPath);

// A step as read back, with what became of it: 1 done, 0 failed, -1 unknown (the run ended
// before it could say).
struct JournalRecord {
    JournalStep step;
    int done = -1;
};

// Reads the journal of the folder; false when there is none or it is not one of ours.
bool readJournal(const QString &folderPath, std::vector<JournalRecord> *records);
void removeJournal(const QString &folderPath);

// Writes the journal while it passes everything else on to the observer behind it. The file
// is made at the first operation, so a run that changes nothing keeps the journal before it.
class JournalObserver : public RunObserver
{
public:
    JournalObserver(const QString &folderPath, RunObserver *next);
    ~JournalObserver() override;

    void progress(const RunProgress &state) override;
    bool cancelRequested() override;
    void aboutToPublish(const JournalStep &step) override;
    void published(const JournalStep &step, bool ok) override;

private:
    // Stores the outcome of the step before, then the text or the step's line, in the mapped file.
    void write(const QByteArray *text, const JournalStep *step = nullptr);

    QString m_folderPath;
    RunObserver *m_next;
    bool reserve(qint64 bytes);

    QFile m_file;
    uchar *m_map = nullptr; // the file mapped into memory: a line stored there is in the system's
    qint64 m_capacity = 0;  // cache at once, so it outlives a killed program, without a call
    qint64 m_used = 0;      // to the system per operation
    char m_pending = 0;   // the outcome of the last step ('+' or '-'), written with the next line
    bool m_failed = false;
};
