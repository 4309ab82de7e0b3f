#include "app/filelistmenu.h"

#include "toolkit/checklist.h"

#include <QAction>
#include <QMenu>

FileListMenu::FileListMenu(QWidget *window, toolkit::CheckList *list, std::function<bool()> canUndo)
    : QObject(window)
    , m_canUndo(std::move(canUndo))
    , m_menu(new QMenu(window))
{
    m_menu->setObjectName(QStringLiteral("FileListMenu"));
    QAction *show = m_menu->addAction(QStringLiteral("Vorschau der neuen Namen…"));
    show->setObjectName(QStringLiteral("PreviewAction"));
    connect(show, &QAction::triggered, this, &FileListMenu::previewRequested);
    // The shortcut belongs to the window, so it works wherever the focus is; a text field
    // keeps Ctrl+Z for its own typing.
    m_undo = new QAction(QStringLiteral("Letzten Lauf rückgängig machen"), window);
    m_undo->setObjectName(QStringLiteral("UndoAction"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_undo->setShortcutContext(Qt::WindowShortcut);
    m_undo->setEnabled(false);
    connect(m_undo, &QAction::triggered, this, &FileListMenu::undoRequested);
    window->addAction(m_undo);
    m_menu->addAction(m_undo);
    connect(list, &toolkit::CheckList::menuRequested, this, [this](const QPoint &at) {
        updateUndo();
        m_menu->popup(at);
    });
}

void FileListMenu::updateUndo()
{
    m_undo->setEnabled(m_canUndo());
}
