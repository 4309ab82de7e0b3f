#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <QTimer>

#include "app/previewwindow.h"
#include "engine/run.h"

class QAction;
class QMenu;

// A look on a worker at whether another program changed the folder since its names were read.
struct FolderLook {
    QString folderPath;
    bool intoMobix = false;
    PreviewNamesPtr known;  // the names the preview has
    PreviewNamesPtr result; // known while the folder is unchanged, else its names read afresh
    std::atomic<bool> done{false};
};

// The main window's preview of the next run: the last plan, the timer that gathers the changes
// of one event cycle into one recomputation, the folder's names, the preview window and the
// file list's menu.
struct PreviewState {
    QTimer timer;
    // The folder's names as last read, renaming or copying beside ([0]) and into MOBIX ([1]):
    // after the listing the window's thread never touches the folder for a preview, which on a
    // phone or a share could make every typed character wait.
    PreviewNamesPtr names[2];
    std::shared_ptr<FolderLook> look; // the look under way, if any
    bool lookAgain = false;           // a change came while it ran
    QTimer lookTimer;                 // polls the look's end
    std::vector<BatchEntry> entries;
    std::vector<PlannedEntry> plan;
    RenameOptions options;
    std::unique_ptr<PreviewWindow> window;
    QMenu *menu = nullptr;
    QAction *undoAction = nullptr;
};
