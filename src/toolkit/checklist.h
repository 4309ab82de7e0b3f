#pragma once

#include "toolkit/checklistmodel.h"

#include <QListView>
#include <QStringList>

#include <vector>

namespace toolkit {

class RowWidthDelegate;

// A list with a check box in front of each entry; an entry's tick is its selected flag.
class CheckList : public QListView
{
    Q_OBJECT
public:
    explicit CheckList(QWidget *parent = nullptr);

    void clear();                          // remove all entries
    void setItems(const QStringList &texts); // replace all entries at once, none ticked
    int count() const;
    QString text(int index) const;
    const QStringList &texts() const;
    bool isSelected(int index) const;      // the entry's tick
    void setSelected(int index, bool selected);
    void setAllSelected(bool selected);
    bool anySelected() const;
    // Per entry a tooltip and whether it carries the warning mark (see CheckListModel).
    void setRowHints(ToolTipFunction toolTip, std::vector<char> marks);
    bool isMarked(int index) const;

    // How wide the widest text is, in pixels; the list scrolls sideways that far plus the
    // room of the check box and the text margins, so the text's end can be seen. 0 removes
    // sideways scrolling.
    void setHorizontalExtent(int pixels);
    int horizontalExtent() const { return m_extent; }

    CheckListModel *listModel() const { return m_model; }

signals:
    // The user asks for the list's menu, by a right click or the Menu key; at is on the screen.
    void menuRequested(const QPoint &at);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int textInset() const;
    void updateMarkBrush();

    CheckListModel *m_model;
    RowWidthDelegate *m_delegate;
    int m_extent = 0;
};

} // namespace toolkit
