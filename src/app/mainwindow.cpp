#include "app/mainwindow.h"

#include "app/backgroundwork.h"
#include "app/filelistmenu.h"
#include "app/folderlister.h"
#include "app/inputblocker.h"
#include "app/maincontrols.h"
#include "app/messages.h"
#include "app/previewcontroller.h"
#include "app/runcontroller.h"
#include "app/specialselect.h"
#include "selection/folderpicker.h"
#include "selection/platformdir.h"
#include "settings/lengthtext.h"
#include "settings/optionsstore.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"
#include "toolkit/messagebox.h"
#include "toolkit/progressbar.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <utility>

namespace {
// How long a closing window waits for a run it asked to stop.
constexpr int StuckRunMs = 5000;
} // namespace

Main::Main(QSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Kappwerk"));
    setWindowIcon(toolkit::svgIcon(QStringLiteral(":/images/kappwerk.svg"), 256));
    setFont(toolkit::standardFont());
    setFixedSize(433, 345);
    setAcceptDrops(true);

    m_controls = new MainControls(this);
    m_lister = new FolderLister(this);
    m_runner = new RunController(this);
    m_preview = new PreviewController(m_controls->fileList,
                                      {[this] { return m_folderPath; }, [this] { return previewOptions(); },
                                       [this] { return batchEntries(); }},
                                      this);
    m_fileListMenu = new FileListMenu(this, m_controls->fileList, [this] { return canUndo(); });
    connectEvents();
    load();
    toolkit::centreOnScreen(this);
}

Main::~Main() = default;

void Main::connectEvents()
{
    const MainControls &ui = *m_controls;
    connect(ui.open, &QPushButton::clicked, this, &Main::openClick);
    connect(ui.cut, &QPushButton::clicked, this, &Main::cutClick);
    connect(ui.about, &QPushButton::clicked, this, [this] {
        toolkit::messageBox(AboutMessage, toolkit::StyleInformation, QStringLiteral("About"), this);
    });
    connect(ui.close, &QPushButton::clicked, this, &QWidget::close);
    connect(ui.allFiles, &QPushButton::clicked, this, [this] { m_controls->fileList->setAllSelected(true); });
    connect(ui.noFiles, &QPushButton::clicked, this, [this] { m_controls->fileList->setAllSelected(false); });
    connect(ui.selectSpecial, &QPushButton::clicked, this, &Main::selectSpecialClick);
    connect(ui.extension, &QComboBox::currentIndexChanged, this, &Main::extensionClick);
    // Choosing another entry lists through currentIndexChanged, which the combo box raises just
    // before activated; only the entry that was already chosen still needs listing. A change
    // by the program is followed by no activation, so the mark does not outlive this event.
    connect(ui.extension, &QComboBox::currentIndexChanged, this, [this] {
        m_filterChanged = true;
        QTimer::singleShot(0, this, [this] { m_filterChanged = false; });
    });
    connect(ui.extension, &QComboBox::activated, this, &Main::extensionActivated);

    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this, &Main::openClick);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this, &Main::extensionClick);
    // Escape during a run asks whether to stop it; at other times (an undo too) it does nothing here.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (m_runner->canStop())
            askToStopRun();
    });

    connect(m_lister, &FolderLister::listed, this, &Main::showListing);
    connect(m_lister, &FolderLister::namesRead, this, [this](bool intoMobix, const PreviewNamesPtr &names) {
        if (m_state == State::Closed)
            return;
        m_preview->addNames(intoMobix, names);
        workDone();
    });
    connect(m_runner, &RunController::progress, ui.progress, &toolkit::ProgressBar::setProgress);
    connect(m_runner, &RunController::runFinished, this, &Main::showRunResult);
    connect(m_runner, &RunController::undoFinished, this, &Main::showUndoResult);
    connect(m_fileListMenu, &FileListMenu::previewRequested, m_preview, &PreviewController::showWindow);
    connect(m_fileListMenu, &FileListMenu::undoRequested, this, &Main::undoLastRun);

    connect(m_preview, &PreviewController::namesNeeded, this, &Main::readPreviewNames);
    connect(m_preview, &PreviewController::updated, m_fileListMenu, &FileListMenu::updateUndo);
    connect(m_controls, &MainControls::runInputChanged, m_preview, &PreviewController::schedule);
}

void Main::load()
{
    const StoredOptions options = readOptions(m_settings);
    m_specialListe = options.specialListe;
    m_transliterate = options.transliterate;
    m_controls->showOptions(options);
}

void Main::unload()
{
    m_state = State::Closed;
    writeOptions(m_settings, m_controls->options(m_specialListe, m_transliterate));
    // An open allowed-characters dialog and the preview go with the program without writing back.
    m_specialSelect.reset();
    m_preview->setPaused(true);
    m_preview->closeWindow();
    emit unloaded();
}

void Main::setState(State state)
{
    m_state = state;
    // Closing keeps what the work under way needs: the locked controls, or the input held back.
    if (state == State::Closing)
        return;
    // Most folders are read in a blink: input is held back without greying the controls.
    if (state == State::Listing)
        m_inputBlocker = std::make_unique<InputBlocker>(this);
    else
        m_inputBlocker.reset();
    m_controls->lock(state == State::Running);
    m_preview->setPaused(state != State::Idle);
    m_fileListMenu->updateUndo();
}

void Main::workDone()
{
    const bool closing = m_state == State::Closing;
    setState(State::Idle);
    if (const std::function<void(bool)> after = std::exchange(m_afterRun, {}))
        after(closing);
    if (closing)
        close();
}

void Main::closeEvent(QCloseEvent *event)
{
    // A close during a run asks whether to stop it; the window closes when the run (stopped or
    // not) or the undo is over, storing the options as always.
    if (m_runner->canStop() && m_state == State::Running && !askToStopRun()) {
        event->ignore();
        return;
    }
    // The run may have ended while the question was open.
    if (m_runner->isBusy() && !m_runLeft) {
        event->ignore();
        if (m_state != State::Closing) {
            setState(State::Closing);
            // A run that has not stopped seconds after it was asked to waits for a medium that
            // stopped answering. The window closes without it and the program ends: the run's
            // journal holds what it did, as after a kill, for the next run or undo to take up.
            QTimer::singleShot(StuckRunMs, this, [this] {
                if (m_state == State::Closing && m_runner->isBusy()) {
                    m_runLeft = true;
                    close();
                }
            });
        }
        return;
    }
    event->accept();
    // A folder being read changes nothing and holds nothing back: the window closes at once,
    // without its list. A card or share that stopped answering would otherwise keep it open.
    if (m_state == State::Closed)
        return;
    if (const std::function<void(bool)> after = std::exchange(m_afterRun, {}))
        after(true);
    unload();
}

void Main::openClick()
{
    if (m_state == State::Idle)
        startListing(true);
}

void Main::extensionClick()
{
    if (m_state == State::Idle && !m_folderPath.isEmpty())
        startListing(false);
}

void Main::extensionActivated()
{
    if (!std::exchange(m_filterChanged, false))
        extensionClick();
}

void Main::openFolder(const QString &path)
{
    if (m_state != State::Idle)
        return;
    // A file lists its folder; anything else empties the list and says why (showListing). The
    // path is looked at on the listing's worker: the look waits for a medium that does not answer.
    m_folderPath = path;
    m_fromOutside = true;
    startListing(false);
}

void Main::startListing(bool askForFolder)
{
    const bool fromOutside = std::exchange(m_fromOutside, false);
    // The list is empty before the folder dialog shows, and so are the files the preview reads.
    m_controls->fileList->clear();
    QString folder = m_folderPath;
    if (askForFolder) {
        releaseInBackground(std::exchange(m_files, FileListData()));
        folder = BrowseForFolder(FolderPrompt, browseStartFolder(m_folderPath), this, true, QString(), true, false);
    }
    if (!isRepresentableFolder(folder)) {
        m_folderPath.clear();
        releaseInBackground(std::exchange(m_files, FileListData()));
        toolkit::messageBox(UnrepresentableFolderMessage, toolkit::StyleCritical, QStringLiteral("Fehler"), this);
        if (m_state != State::Idle)
            workDone();
        return;
    }
    // After a run the controls stay locked while the folder is listed again.
    if (m_state == State::Idle)
        setState(State::Listing);
    m_lister->list(folder, m_controls->extension->currentText(), m_controls->fileList->font(),
                   copiesIntoMobix(renameOptions()), fromOutside);
}

void Main::showListing(const FolderListing &listing)
{
    if (m_state == State::Closed) // closed while the folder was read
        return;
    m_preview->setNames(listing.intoMobix, listing.names);
    // Freeing 100,000 names takes tens of milliseconds: the old ones go after the new list shows,
    // on a worker.
    FileListData shown = std::exchange(m_files, listing.files);
    m_folderPath = listing.folderPath;
    m_journalPath = listing.journalPath;
    m_controls->fileList->setItems(m_files.entries);
    m_controls->fileList->setHorizontalExtent(listing.extent);
    releaseInBackground(std::move(shown));
    emit listed();
    workDone();
    if (!listing.missingPath.isEmpty() && m_state == State::Idle)
        toolkit::messageBox(NotAFolderMessage.arg(QDir::toNativeSeparators(listing.missingPath)), toolkit::StyleCritical,
                            QStringLiteral("Achtung"), this);
}

void Main::readPreviewNames(const QString &folderPath, bool intoMobix)
{
    setState(State::Listing);
    m_lister->readNames(folderPath, intoMobix);
}

void Main::cutClick()
{
    if (m_state != State::Idle)
        return;
    if (!m_controls->fileList->anySelected()) {
        toolkit::messageBox(NothingSelectedMessage, toolkit::StyleCritical, QStringLiteral("Fehler"), this);
        return;
    }
    // The length check keeps the field valid; should it hold anything else now, nothing is
    // renamed with a length the user did not mean.
    if (!previewOptions()) {
        toolkit::messageBox(LengthMessage, toolkit::StyleCritical, QStringLiteral("Achtung"), this);
        return;
    }
    std::unique_ptr<JournalObserver> journal = takeJournal(m_folderPath, m_journalPath, this);
    if (!journal)
        return;
    setState(State::Running);
    m_runner->startRun(batchEntries(), renameOptions(), m_folderPath, std::move(journal));
}

void Main::showRunResult(const std::vector<BatchEntry> &entries, const RunReport &report)
{
    m_lastRun = report;
    // Every ticked file done: no message, as always. Otherwise one message says what was not.
    m_afterRun = [this, skipped = skippedReportText(entries, report)](bool closing) {
        if (!skipped.isEmpty() && !closing)
            toolkit::messageBox(skipped, toolkit::StyleExclamation, QStringLiteral("Kappwerk"), this);
        emit runFinished();
    };
    listAfterRun();
}

bool Main::canUndo() const
{
    return m_state == State::Idle && !m_journalPath.isEmpty() && journalToUndoAt(m_journalPath);
}

void Main::undoLastRun()
{
    if (!canUndo())
        return;
    const QString question = QStringLiteral("Den letzten Lauf in %1 rückgängig machen?")
                                 .arg(QDir::toNativeSeparators(folderWithoutSeparator(m_folderPath)));
    if (toolkit::messageBox(question, toolkit::StyleQuestionYesNo, QStringLiteral("Kappwerk"), this) != toolkit::ResultYes)
        return;
    setState(State::Running);
    m_runner->startUndo(m_folderPath);
}

void Main::showUndoResult(const UndoReport &report)
{
    m_afterRun = [this, busy = report.busy, problems = undoProblemsText(report)](bool) {
        if (busy)
            toolkit::messageBox(FolderBusyMessage, toolkit::StyleExclamation, QStringLiteral("Kappwerk"), this);
        if (!problems.isEmpty())
            toolkit::messageBox(UndoIncompleteMessage + problems, toolkit::StyleExclamation, QStringLiteral("Kappwerk"), this);
    };
    listAfterRun();
}

void Main::listAfterRun()
{
    // A window that is closing shows no list again: it closes now, its report told so. One that
    // closed without the run (it hung) leaves its end unseen.
    if (m_state != State::Closed)
        m_state == State::Closing ? workDone() : startListing(false);
}

bool Main::askToStopRun()
{
    if (toolkit::messageBox(StopRunQuestion, toolkit::StyleQuestionYesNoDefaultNo, QStringLiteral("Kappwerk"), this)
        != toolkit::ResultYes)
        return false;
    // The run may have ended while the question was open; then there is nothing to stop.
    m_runner->cancel();
    return true;
}

void Main::selectSpecialClick()
{
    if (!m_specialSelect) {
        m_specialSelect = std::make_unique<SpecialSelect>(
            [this] { return SpecialSelect::Choice{m_specialListe, m_transliterate == 1}; },
            [this](const SpecialSelect::Choice &choice) {
                m_specialListe = choice.list;
                m_transliterate = choice.transliterate ? 1 : 0;
                m_preview->schedule();
            });
    }
    m_specialSelect->showDialog();
}

void Main::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_state == State::Idle && !droppedPath(event->mimeData()).isEmpty()) {
        // Only ever a copy: a file manager that was offered a move could delete its items.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void Main::dropEvent(QDropEvent *event)
{
    const QString path = droppedPath(event->mimeData());
    if (m_state != State::Idle || path.isEmpty())
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    openFolder(path);
}

RenameOptions Main::renameOptions() const
{
    return runOptions(m_controls->options(m_specialListe, m_transliterate));
}

std::optional<RenameOptions> Main::previewOptions() const
{
    if (readLengthText(m_controls->maxFileLength->text()).kind != LengthKind::Valid)
        return std::nullopt;
    return renameOptions();
}

std::vector<BatchEntry> Main::batchEntries() const
{
    std::vector<BatchEntry> entries;
    entries.reserve(size_t(m_files.count()));
    for (int i = 0; i < m_files.count(); ++i) {
        entries.push_back(BatchEntry{m_files.entries.at(i), m_files.extensions.at(i), m_files.nativeNames.at(i),
                                     m_controls->fileList->isSelected(i)});
    }
    return entries;
}

PreviewWindow *Main::previewWindow() const
{
    return m_preview->window();
}

void Main::setWorkInline(bool workInline)
{
    m_lister->setRunInline(workInline);
    m_runner->setRunInline(workInline);
}
