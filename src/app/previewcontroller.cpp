#include "app/previewcontroller.h"

#include "app/backgroundwork.h"
#include "app/previewtexts.h"
#include "app/previewwindow.h"
#include "toolkit/checklist.h"

#include <utility>

// A look on a worker at whether another program changed the folder since its names were read.
struct PreviewController::Look {
    QString folderPath;
    bool intoMobix = false;
    PreviewNamesPtr known;  // the names the preview has
    PreviewNamesPtr result; // known while the folder is unchanged, else its names read afresh
};

PreviewController::PreviewController(toolkit::CheckList *list, Sources sources, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_sources(std::move(sources))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PreviewController::update);
}

PreviewController::~PreviewController() = default;

void PreviewController::schedule()
{
    // A zero timer: the changes of one event cycle (a relisting, a typed character, all ticks
    // at once) cost one recomputation after them.
    m_timer.start(0);
}

void PreviewController::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    // What changed while paused (a new listing, a run) shows now.
    if (!paused)
        schedule();
}

void PreviewController::setNames(bool intoMobix, PreviewNamesPtr names)
{
    // The names before are freed on a worker: for a large folder that takes milliseconds.
    std::pair<PreviewNamesPtr, PreviewNamesPtr> before{std::move(m_names[0]), std::move(m_names[1])};
    namesFor(intoMobix) = std::move(names);
    releaseInBackground(std::move(before));
}

void PreviewController::addNames(bool intoMobix, PreviewNamesPtr names)
{
    releaseInBackground(std::exchange(namesFor(intoMobix), std::move(names)));
    schedule();
}

void PreviewController::update()
{
    if (m_paused)
        return;
    const std::optional<RenameOptions> options = m_sources.options();
    // A length on its way to being corrected is followed at once by the corrected one.
    if (!options) {
        emit updated();
        return;
    }
    // Nothing ticked, nothing to mark: a fresh listing of a large folder costs no pass over it.
    if (!m_list->anySelected() && !(m_window && m_window->isVisible())) {
        m_options = *options;
        m_entries.clear();
        m_plan.clear();
        m_list->setRowHints({}, {});
        emit updated();
        return;
    }
    // The new names are checked against the names in the target folder, read with the listing.
    // Names never read for this target (the folder was listed while copies went into MOBIX) are
    // asked for, and read on a worker as a listing is: on a memory card that takes seconds.
    const QString folder = m_sources.folderPath();
    const bool intoMobix = copiesIntoMobix(*options);
    const auto haveNames = [&] {
        const PreviewNamesPtr &names = namesFor(intoMobix);
        return folder.isEmpty() || (names && names->folderPath == folder);
    };
    if (!haveNames()) {
        emit namesNeeded(folder, intoMobix);
        // Read at once (as tests have it), or later, and then given with addNames.
        if (!haveNames())
            return;
    }
    // The tooltips shown meanwhile came from the plan before; the new plan and its options take
    // over together.
    m_options = *options;
    m_entries = m_sources.entries();
    m_plan = folder.isEmpty() ? std::vector<PlannedEntry>(m_entries.size())
                              : previewRun(m_entries, m_options, *namesFor(intoMobix));
    // Another program may have written to the folder since: a worker looks, and a change found
    // there makes a new preview.
    if (!folder.isEmpty())
        lookAtFolderLater(intoMobix);
    // The tooltips are made when shown, from the plan kept here until the next change.
    PreviewHints hints = previewHints(m_entries, m_plan, m_options);
    m_list->setRowHints([this](int row) { return previewToolTip(m_entries, m_plan, m_options, size_t(row)); },
                        std::move(hints.marks));
    if (m_window && m_window->isVisible())
        m_window->setPlan(m_entries, m_plan, m_options);
    emit updated();
}

void PreviewController::lookAtFolderLater(bool intoMobix)
{
    if (m_looking) {
        m_lookAgain = true;
        return;
    }
    m_looking = true;
    auto look = std::make_shared<Look>();
    look->folderPath = m_sources.folderPath();
    look->intoMobix = intoMobix;
    look->known = namesFor(intoMobix);
    // Always on a worker, for tests too: the look may wait for a medium that stopped answering.
    // It holds everything it needs, so a window closed meanwhile leaves it nothing to touch.
    startInBackground(
        this, {[look] { look->result = readPreviewNames(look->folderPath, look->intoMobix, look->known); }},
        [this, look] { lookFinished(look); });
}

void PreviewController::lookFinished(const std::shared_ptr<Look> &look)
{
    m_looking = false;
    const bool again = std::exchange(m_lookAgain, false);
    PreviewNamesPtr &names = namesFor(look->intoMobix);
    // The names the look knew may be the last of a large folder's: they are freed on a worker.
    PreviewNamesPtr known = std::move(look->known);
    // Names read since the look began (a new listing) are newer than the look's.
    const QString folder = m_sources.folderPath();
    if (look->folderPath == folder && names == known && look->result != known) {
        names = look->result;
        schedule();
    } else if (again && !folder.isEmpty()) {
        if (const std::optional<RenameOptions> options = m_sources.options())
            lookAtFolderLater(copiesIntoMobix(*options));
    }
    releaseInBackground(std::move(known));
}

void PreviewController::showWindow()
{
    if (!m_window)
        m_window = std::make_unique<PreviewWindow>();
    // A change still waiting for the timer is taken in first.
    if (m_timer.isActive() && !m_paused) {
        m_timer.stop();
        update();
    }
    m_window->setPlan(m_entries, m_plan, m_options);
    m_window->showWindow();
}

void PreviewController::closeWindow()
{
    m_window.reset();
}
