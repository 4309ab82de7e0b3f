// The main window's batch run: started on a worker thread while the window repaints, its
// controls locked, and only the request to stop taken.
#include "app/mainwindow.h"

#include "app/backgroundwork.h"
#include "app/messages.h"
#include "engine/journal.h"
#include "engine/run.h"
#include "engine/undo.h"
#include "selection/platformdir.h"
#include "settings/lengthtext.h"
#include "settings/optionsstore.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"
#include "toolkit/messagebox.h"
#include "toolkit/progressbar.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include <atomic>

// Carries progress and the request to stop between the window and the worker thread.
class WindowRunObserver : public RunObserver
{
public:
    void progress(const RunProgress &state) override { m_value.store(state.barValue(), std::memory_order_relaxed); }
    bool cancelRequested() override { return m_cancel.load(std::memory_order_relaxed); }

    float value() const { return m_value.load(std::memory_order_relaxed); }
    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }

private:
    std::atomic<float> m_value{toolkit::ProgressBar::Minimum};
    std::atomic<bool> m_cancel{false};
};

void Main::createRunShortcuts()
{
    // Escape during a run asks whether to stop it; at other times it does nothing here.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_running)
            askToStopRun();
    });
}

RenameOptions Main::renameOptions() const
{
    return runOptions(storedOptions());
}

std::vector<BatchEntry> Main::batchEntries() const
{
    std::vector<BatchEntry> entries;
    entries.reserve(size_t(m_files.count()));
    for (int i = 0; i < m_files.count(); ++i) {
        entries.push_back(BatchEntry{m_files.entries.at(i), m_files.extensions.at(i), m_files.nativeNames.at(i),
                                     m_fileList->isSelected(i)});
    }
    return entries;
}

void Main::cutClick()
{
    if (m_busy)
        return;
    if (!m_fileList->anySelected()) {
        toolkit::MsgBox(NothingSelectedMessage, toolkit::StyleCritical, QStringLiteral("Fehler"), this);
        return;
    }
    // The length check keeps the field valid; should it hold anything else now, nothing is
    // renamed with a length the user did not mean.
    if (readLengthText(m_maxFileLength->text()).kind != LengthKind::Valid) {
        toolkit::MsgBox(LengthMessage, toolkit::StyleCritical, QStringLiteral("Achtung"), this);
        return;
    }
    // The options are read once: nothing the user does during the run can change them.
    const RenameOptions options = renameOptions();
    const std::vector<BatchEntry> entries = batchEntries();
    const QString folder = m_folderPath;

    WindowRunObserver observer;
    m_observer = &observer;
    m_running = true;
    lockControls(true);
    runInBackground(
        [&] {
            // The journal is written before every operation, so the run can be taken back.
            JournalObserver journal(folder, &observer);
            m_lastRun = RunBatch(entries, options, folder, &journal);
        },
        [&] { m_progress->setProgress(observer.value()); });
    m_observer = nullptr;
    refillFileList(false);
    m_running = false;
    lockControls(false);

    // Every ticked file done: no message, as always. Otherwise one message says what was not.
    const QString skipped = skippedReportText(entries, m_lastRun);
    if (!skipped.isEmpty() && !m_closeRequested)
        toolkit::MsgBox(skipped, toolkit::StyleExclamation, QStringLiteral("Kappwerk"), this);
    emit runFinished();

    if (m_closeRequested)
        close();
}

bool Main::canUndo() const
{
    return !m_busy && !m_journalPath.isEmpty() && QFileInfo::exists(m_journalPath);
}

void Main::undoLastRun()
{
    if (!canUndo())
        return;
    const QString folder = m_folderPath;
    const QString question = QStringLiteral("Den letzten Lauf in %1 rückgängig machen?")
                                 .arg(QDir::toNativeSeparators(folderWithoutSeparator(folder)));
    if (toolkit::MsgBox(question, toolkit::StyleQuestionYesNo, QStringLiteral("Kappwerk"), this) != toolkit::ResultYes)
        return;
    UndoReport report;
    m_running = true;
    lockControls(true);
    runInBackground([&] { report = UndoLastRun(folder); });
    refillFileList(false);
    m_running = false;
    lockControls(false);
    const QString problems = undoProblemsText(report);
    if (!problems.isEmpty()) {
        toolkit::MsgBox(QStringLiteral("Nicht alles ließ sich rückgängig machen:\n") + problems,
                        toolkit::StyleExclamation, QStringLiteral("Kappwerk"), this);
    }
    if (m_closeRequested)
        close();
}

bool Main::askToStopRun()
{
    const int answer = toolkit::MsgBox(StopRunQuestion, toolkit::StyleQuestionYesNoDefaultNo,
                                       QStringLiteral("Kappwerk"), this);
    if (answer != toolkit::ResultYes)
        return false;
    // The run may have ended while the question was open; then there is nothing to stop.
    if (m_observer)
        m_observer->cancel();
    return true;
}

void Main::lockControls(bool locked)
{
    if (locked == m_busy)
        return;
    m_busy = locked;
    // Everything but "Programm beenden", which asks to stop a run. The subfolder option keeps
    // its own greyed state, which is stored with the options.
    QWidget *const controls[] = {m_fileList, m_allFiles, m_noFiles, m_extension, m_cutAfterLength,
                                 m_maxFileLength, m_rename, m_newFilename, m_overwrite, m_special,
                                 m_selectSpecial, m_open, m_cut, m_about};
    for (QWidget *control : controls)
        control->setEnabled(!locked);
    if (locked) {
        m_subdirectoryEnabled = m_subdirectory->isEnabled();
        m_subdirectory->setEnabled(false);
    } else
        m_subdirectory->setEnabled(m_subdirectoryEnabled);
}

void Main::closeEvent(QCloseEvent *event)
{
    // A close during a run asks whether to stop it; the window closes when the run (stopped
    // or not) and the refill are over, storing the options as always. A close while a folder
    // is being read waits for the list.
    if (m_busy) {
        event->ignore();
        if (!m_running || askToStopRun())
            m_closeRequested = true;
        return;
    }
    event->accept();
    unload();
}
