#pragma once

#include "engine/run.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PreviewWindow;

namespace toolkit {
class CheckList;
} // namespace toolkit

// The preview of the next run: the new name of every ticked entry as its tooltip in the list,
// problems marked there, and the preview window. Every change of the options, ticks or list is
// gathered into one recomputation after the event cycle; while the window is busy it waits.
// The folder's names come from the listing; when they are needed for another target, the
// controller asks for them (namesNeeded) and goes on once they are given (addNames). A worker
// looks whether another program changed the folder meanwhile, and the change shows a moment later.
class PreviewController : public QObject
{
    Q_OBJECT
public:
    // What the preview is made from, read from the window at the moment of each recomputation.
    struct Sources {
        std::function<QString()> folderPath;
        // Nothing while the length field holds a text on its way to being corrected.
        std::function<std::optional<RenameOptions>()> options;
        std::function<std::vector<BatchEntry>()> entries;
    };

    PreviewController(toolkit::CheckList *list, Sources sources, QObject *parent = nullptr);
    ~PreviewController() override;

    void schedule();
    // While paused (the window lists a folder or runs a batch) a recomputation waits.
    void setPaused(bool paused);
    // The names of a new listing's target: those of the other target are read again when needed.
    void setNames(bool intoMobix, PreviewNamesPtr names);
    // Names asked for with namesNeeded.
    void addNames(bool intoMobix, PreviewNamesPtr names);

    void showWindow();
    PreviewWindow *window() const { return m_window.get(); }
    void closeWindow();

signals:
    void namesNeeded(const QString &folderPath, bool intoMobix);
    // A recomputation ran (or found nothing to do).
    void updated();

private:
    struct Look;
    void update();
    void lookAtFolderLater(bool intoMobix);
    void lookFinished(const std::shared_ptr<Look> &look);
    PreviewNamesPtr &namesFor(bool intoMobix) { return m_names[intoMobix ? 1 : 0]; }

    toolkit::CheckList *m_list;
    Sources m_sources;
    QTimer m_timer;
    bool m_paused = false;
    // The folder's names as last read, renaming or copying beside ([0]) and into MOBIX ([1]):
    // after the listing the window's thread never touches the folder for a preview, which on a
    // phone or a share could make every typed character wait.
    PreviewNamesPtr m_names[2];
    bool m_looking = false;   // a look at the folder is under way
    bool m_lookAgain = false; // a change came while it ran
    // The last plan, kept for the tooltips, which are made only when shown.
    std::vector<BatchEntry> m_entries;
    std::vector<PlannedEntry> m_plan;
    RenameOptions m_options;
    std::unique_ptr<PreviewWindow> m_window;
};
