// The main window's preview of the next run: the new name of every ticked entry as its tooltip,
// problems marked in the list, the preview window and the file list's context menu.
#include "app/mainwindow.h"

#include "app/backgroundwork.h"
#include "app/previewmarks.h"
#include "app/previewtexts.h"
#include "settings/lengthtext.h"
#include "toolkit/checklist.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>

namespace {
// While a run goes on the preview waits, and looks again this often.
constexpr int RunningRetryMs = 100;
// How often the window asks whether the look at the folder has ended: at first, and at most.
constexpr int LookPollMs = 10;
constexpr int LookPollMaxMs = 320;
} // namespace

void Main::createPreview()
{
    m_preview = std::make_unique<PreviewState>();
    PreviewState &preview = *m_preview;
    preview.timer.setSingleShot(true);
    connect(&preview.timer, &QTimer::timeout, this, &Main::updatePreview);
    connect(&preview.lookTimer, &QTimer::timeout, this, &Main::takeFolderLook);

    // Every option the run reads, and every change of the list or its ticks.
    const auto schedule = [this] { schedulePreview(); };
    connect(m_cutAfterLength, &QRadioButton::toggled, this, schedule);
    connect(m_rename, &QRadioButton::toggled, this, schedule);
    connect(m_maxFileLength, &QLineEdit::textChanged, this, schedule);
    connect(m_newFilename, &QLineEdit::textChanged, this, schedule);
    for (QCheckBox *box : {m_overwrite, m_subdirectory, m_special})
        connect(box, &QCheckBox::stateChanged, this, schedule);
    QAbstractItemModel *model = m_fileList->model();
    connect(model, &QAbstractItemModel::modelReset, this, schedule);
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                // The marks themselves are a change of the list too; only ticks count.
                if (roles.contains(Qt::CheckStateRole))
                    schedulePreview();
            });

    preview.menu = new QMenu(this);
    preview.menu->setObjectName(QStringLiteral("FileListMenu"));
    QAction *show = preview.menu->addAction(QStringLiteral("Vorschau der neuen Namen…"));
    show->setObjectName(QStringLiteral("PreviewAction"));
    connect(show, &QAction::triggered, this, &Main::showPreviewWindow);
    // The shortcut belongs to the window, so it works wherever the focus is; a text field
    // keeps Ctrl+Z for its own typing.
    preview.undoAction = new QAction(QStringLiteral("Letzten Lauf rückgängig machen"), this);
    preview.undoAction->setObjectName(QStringLiteral("UndoAction"));
    preview.undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    preview.undoAction->setShortcutContext(Qt::WindowShortcut);
    preview.undoAction->setEnabled(false);
    connect(preview.undoAction, &QAction::triggered, this, [this] {
        if (canUndo())
            undoLastRun();
    });
    addAction(preview.undoAction);
    preview.menu->addAction(preview.undoAction);

    connect(m_fileList, &toolkit::CheckList::menuRequested, this, &Main::showFileListMenu);
    // The preview goes with the main window, like the allowed-characters dialog.
    connect(this, &Main::unloaded, this, [this] { m_preview->window.reset(); });
}

void Main::schedulePreview()
{
    // A zero timer: the changes of one event cycle (a relisting, a typed character, all ticks
    // at once) cost one recomputation after them.
    m_preview->timer.start(0);
}

void Main::updatePreview()
{
    PreviewState &preview = *m_preview;
    preview.undoAction->setEnabled(canUndo());
    if (m_busy) {
        preview.timer.start(RunningRetryMs);
        return;
    }
    // A length on its way to being corrected is followed at once by the corrected one.
    if (readLengthText(m_maxFileLength->text()).kind != LengthKind::Valid)
        return;
    const RenameOptions options = renameOptions();
    // Nothing ticked, nothing to mark: a fresh listing of a large folder costs no pass over it.
    if (!m_fileList->anySelected() && !(preview.window && preview.window->isVisible())) {
        preview.options = options;
        preview.entries.clear();
        preview.plan.clear();
        m_fileList->setRowHints({}, {});
        return;
    }
    // The new names are checked against the names in the target folder, read with the listing.
    // Names never read for this target (the folder was listed while copies went into MOBIX) are
    // read now, on a worker as a listing does: on a memory card that takes seconds.
    const bool intoMobix = copiesIntoMobix(options);
    PreviewNamesPtr &names = preview.names[intoMobix ? 1 : 0];
    if (!m_folderPath.isEmpty() && !(names && names->folderPath == m_folderPath)) {
        const QString folder = m_folderPath;
        PreviewNamesPtr fresh;
        {
            const InputBlocker blocker(this);
            m_busy = true;
            runInBackground([&] { fresh = ReadPreviewNames(folder, intoMobix); });
            m_busy = false;
        }
        names = fresh;
        // A close asked for meanwhile waited for the names, like one during a listing.
        if (m_closeRequested) {
            close();
            return;
        }
    }
    // The tooltips shown while the names were read came from the plan before; the new plan and
    // its options take over together.
    preview.options = options;
    preview.entries = batchEntries();
    preview.plan = m_folderPath.isEmpty() ? std::vector<PlannedEntry>(preview.entries.size())
                                          : PreviewRun(preview.entries, preview.options, *names);
    // Another program may have written to the folder since: a worker looks, and a change found
    // there makes a new preview.
    if (!m_folderPath.isEmpty())
        lookAtFolderLater(intoMobix);
    // The tooltips are made when shown, from the plan kept here until the next change.
    PreviewHints hints = previewHints(preview.entries, preview.plan, preview.options);
    m_fileList->setRowHints(
        [&preview](int row) { return previewToolTip(preview.entries, preview.plan, preview.options, size_t(row)); },
        std::move(hints.marks));
    if (preview.window && preview.window->isVisible())
        preview.window->setPlan(preview.entries, preview.plan, preview.options);
}

void Main::setPreviewNames(bool intoMobix, PreviewNamesPtr names)
{
    // Names of the other target, read for an earlier listing, are read again when needed. The
    // names before are freed on a worker: for a large folder that takes milliseconds.
    std::pair<PreviewNamesPtr, PreviewNamesPtr> before{std::move(m_preview->names[0]), std::move(m_preview->names[1])};
    m_preview->names[intoMobix ? 1 : 0] = std::move(names);
    releaseInBackground(std::move(before));
}

void Main::lookAtFolderLater(bool intoMobix)
{
    PreviewState &preview = *m_preview;
    if (preview.look) {
        preview.lookAgain = true;
        return;
    }
    auto look = std::make_shared<FolderLook>();
    look->folderPath = m_folderPath;
    look->intoMobix = intoMobix;
    look->known = preview.names[intoMobix ? 1 : 0];
    preview.look = look;
    // The look holds everything it needs, so a window closed meanwhile leaves it nothing to touch.
    startInBackground([look] {
        look->result = ReadPreviewNames(look->folderPath, look->intoMobix, look->known);
        look->done.store(true, std::memory_order_release);
    });
    preview.lookTimer.start(LookPollMs);
}

void Main::takeFolderLook()
{
    PreviewState &preview = *m_preview;
    if (!preview.look)
        return;
    if (!preview.look->done.load(std::memory_order_acquire)) {
        // A medium that takes long is asked less and less often.
        preview.lookTimer.setInterval(std::min(2 * preview.lookTimer.interval(), LookPollMaxMs));
        return;
    }
    preview.lookTimer.stop();
    std::shared_ptr<FolderLook> look = std::move(preview.look);
    const bool again = std::exchange(preview.lookAgain, false);
    PreviewNamesPtr &names = preview.names[look->intoMobix ? 1 : 0];
    // Names read since the look began (a new listing) are newer than the look's.
    if (look->folderPath == m_folderPath && names == look->known && look->result != look->known) {
        names = look->result;
        schedulePreview();
    } else if (again && !m_folderPath.isEmpty()) {
        lookAtFolderLater(copiesIntoMobix(renameOptions()));
    }
    // The names it replaced may be the last of a large folder's.
    releaseInBackground(std::move(look));
}

void Main::showFileListMenu(const QPoint &screenPosition)
{
    m_preview->undoAction->setEnabled(canUndo());
    m_preview->menu->popup(screenPosition);
}

void Main::showPreviewWindow()
{
    PreviewState &preview = *m_preview;
    if (!preview.window)
        preview.window = std::make_unique<PreviewWindow>();
    // A change still waiting for the timer is taken in first.
    if (preview.timer.isActive() && !m_busy) {
        preview.timer.stop();
        updatePreview();
    }
    preview.window->setPlan(preview.entries, preview.plan, preview.options);
    preview.window->showWindow();
}

PreviewWindow *Main::previewWindow() const
{
    return m_preview->window.get();
}

