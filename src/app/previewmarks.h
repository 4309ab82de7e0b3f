#pragma once

#include <memory>
#include <vector>

#include <QTimer>

#include "app/previewwindow.h"
#include "engine/run.h"

class QAction;
class QMenu;

// The main window's preview of the next run: the last plan, the timer that gathers the changes
// of one event cycle into one recomputation, the preview window and the file list's menu.
struct PreviewState {
    QTimer timer;
    std::vector<BatchEntry> entries;
    std::vector<PlannedEntry> plan;
    RenameOptions options;
    std::unique_ptr<PreviewWindow> window;
    QMenu *menu = nullptr;
    QAction *undoAction = nullptr;
};
