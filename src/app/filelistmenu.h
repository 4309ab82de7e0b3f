#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace toolkit {
class CheckList;
} // namespace toolkit

// The file list's context menu (right click or the Menu key): the preview window, and taking
// the last run back, which Ctrl+Z does too wherever the focus is in the window.
class FileListMenu : public QObject
{
    Q_OBJECT
public:
    FileListMenu(QWidget *window, toolkit::CheckList *list, std::function<bool()> canUndo);

    // Greys or enables the undo entry and its shortcut as canUndo says now.
    void updateUndo();

signals:
    void previewRequested();
    void undoRequested();

private:
    std::function<bool()> m_canUndo;
    QMenu *m_menu;
    QAction *m_undo;
};
