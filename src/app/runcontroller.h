#pragma once

#include "engine/journal.h"
#include "engine/run.h"
#include "engine/undo.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class QWidget;

// Takes the folder's journal for a run, on the window's thread. Holding it keeps any other run or
// undo out of the folder until the run is over. A busy folder is said so; a run that could not be
// taken back goes ahead only when the user agrees. Null when the run must not start.
std::unique_ptr<JournalObserver> takeJournal(const QString &folderPath, const QString &journalPath, QWidget *window);

// Runs a batch, or the undo of the last one, on a worker thread while the window goes on. The
// result comes back through runFinished or undoFinished, queued to the window's thread; the
// progress comes as progress() several times a second meanwhile. One piece of work at a time.
class RunController : public QObject
{
    Q_OBJECT
public:
    explicit RunController(QObject *parent = nullptr);
    ~RunController() override;

    // Runs the work at once on the calling thread, finished signal included, before the start
    // returns: tests use that to stay synchronous.
    void setRunInline(bool runInline) { m_inline = runInline; }
    bool isBusy() const { return m_job != nullptr; }
    // A run can be asked to stop; an undo cannot: it takes back all it can, and is quick.
    bool canStop() const;

    // The options and entries are taken as they are now: nothing the user does during the run
    // changes them. The run writes the journal, opened by the caller, before every operation, so
    // it can be taken back; the journal is let go when the run is over.
    void startRun(std::vector<BatchEntry> entries, const RenameOptions &options, const QString &folderPath,
                  std::unique_ptr<JournalObserver> journal);
    void startUndo(const QString &folderPath);
    // Asks the run to stop after the file it is at; nothing when none runs.
    void cancel();

signals:
    void progress(float value);
    // The entries the run was given, and what it did with each ticked one.
    void runFinished(const std::vector<BatchEntry> &entries, const RunReport &report);
    void undoFinished(const UndoReport &report);

private:
    struct Job;
    void start(const std::shared_ptr<Job> &job);
    void finish();

    bool m_inline = false;
    std::shared_ptr<Job> m_job; // the work under way, shared with its worker
    QTimer m_progressTimer;
};
