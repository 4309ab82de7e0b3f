#include "app/runcontroller.h"

#include "app/backgroundwork.h"
#include "engine/journal.h"
#include "toolkit/progressbar.h"

#include <atomic>
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
    RunReport runReport;
    UndoReport undoReport;
    std::atomic<float> value{toolkit::ProgressBar::Minimum};
    std::atomic<bool> cancel{false};

    void progress(const RunProgress &state) override { value.store(state.barValue(), std::memory_order_relaxed); }
    bool cancelRequested() override { return cancel.load(std::memory_order_relaxed); }

    void work()
    {
        if (undo) {
            undoReport = UndoLastRun(folderPath);
            return;
        }
        JournalObserver journal(folderPath, this);
        runReport = RunBatch(entries, options, folderPath, &journal);
    }
};

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

void RunController::startRun(std::vector<BatchEntry> entries, const RenameOptions &options, const QString &folderPath)
{
    auto job = std::make_shared<Job>();
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
