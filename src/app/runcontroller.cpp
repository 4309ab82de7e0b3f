#include "app/runcontroller.h"

#include "app/backgroundwork.h"
#include "app/messages.h"
#include "toolkit/messagebox.h"
#include "toolkit/progressbar.h"

#include <atomic>
#include <cerrno>
#include <functional>

namespace {
// How often the bar follows the run: about thirty times a second.
constexpr int ProgressMs = 33;
} // namespace

// One run or undo: its input, its result, and what passes between the window's thread and the
// worker meanwhile (progress and the request to stop).
struct RunController::Job : RunObserver {
    bool undo = false;
    std::vector<BatchEntry> entries;
    RenameOptions options;
    QString folderPath;
    std::unique_ptr<JournalObserver> journal;
    RunReport runReport;
    UndoReport undoReport;
    std::atomic<float> value{toolkit::ProgressBar::Minimum};
    std::atomic<bool> cancel{false};

    void progress(const RunProgress &state) override { value.store(state.barValue(), std::memory_order_relaxed); }
    bool cancelRequested() override { return cancel.load(std::memory_order_relaxed); }

    void work()
    {
        if (undo) {
            undoReport = undoLastRun(folderPath);
            return;
        }
        journal->setNext(this);
        journal->prepare();
        runReport = runBatch(entries, options, folderPath, journal.get());
        journal->close();
    }
};

std::unique_ptr<JournalObserver> takeJournal(const QString &folderPath, const QString &journalPath, QWidget *window)
{
    auto journal = std::make_unique<JournalObserver>(folderPath, nullptr, journalPath);
    if (const int error = journal->open(); error == EBUSY) {
        toolkit::messageBox(FolderBusyMessage, toolkit::StyleExclamation, QStringLiteral("Kappwerk"), window);
        return nullptr;
    } else if (error != 0) {
        if (toolkit::messageBox(NoUndoQuestion.arg(journal->problem()), toolkit::StyleQuestionYesNoDefaultNo,
                            QStringLiteral("Kappwerk"), window) != toolkit::ResultYes)
            return nullptr;
        journal->goAheadWithout();
    }
    return journal;
}

RunController::RunController(QObject *parent)
    : QObject(parent)
{
    m_progressTimer.setInterval(ProgressMs);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_job)
            emit progress(m_job->value.load(std::memory_order_relaxed));
    });
}

RunController::~RunController() = default;

void RunController::startRun(std::vector<BatchEntry> entries, const RenameOptions &options, const QString &folderPath,
                             std::unique_ptr<JournalObserver> journal)
{
    auto job = std::make_shared<Job>();
    job->journal = std::move(journal);
    job->entries = std::move(entries);
    job->options = options;
    job->folderPath = folderPath;
    start(job);
}

void RunController::startUndo(const QString &folderPath)
{
    auto job = std::make_shared<Job>();
    job->undo = true;
    job->folderPath = folderPath;
    start(job);
}

bool RunController::canStop() const
{
    return m_job && !m_job->undo;
}

void RunController::cancel()
{
    if (m_job)
        m_job->cancel.store(true, std::memory_order_relaxed);
}

void RunController::start(const std::shared_ptr<Job> &job)
{
    if (m_job)
        return;
    m_job = job;
    // An undo has no progress of its own: the bar stays as the last run left it.
    if (!job->undo)
        m_progressTimer.start();
    // The worker holds the job too, so a window gone meanwhile leaves it nothing to touch.
    startInBackground(this, {[job] { job->work(); }}, [this] { finish(); }, m_inline);
}

void RunController::finish()
{
    m_progressTimer.stop();
    const std::shared_ptr<Job> job = std::move(m_job);
    if (job->undo) {
        emit undoFinished(job->undoReport);
        return;
    }
    emit progress(job->value.load(std::memory_order_relaxed));
    emit runFinished(job->entries, job->runReport);
}
