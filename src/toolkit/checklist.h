#pragma once

#include <QAbstractListModel>
#include <QBrush>
#include <QListView>
#include <QStyledItemDelegate>
#include <QStringList>

#include <functional>
#include <vector>

namespace toolkit {

// The background of a row that needs the user's attention: an amber tint of the palette's base
// colour, light on a light palette and dark on a dark one, so the text colour stays legible.
QBrush warningBrush(const QPalette &palette);

// Makes the tooltip of a row when it is shown.
using ToolTipFunction = std::function<QString(int row)>;

// Texts and tick states of a checkable list, kept in plain arrays so that a folder of
// 100,000 files fills in one step instead of one item object per entry.
class CheckListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void clear();
    void setTexts(const QStringList &texts);
    const QStringList &texts() const { return m_texts; }
    bool isChecked(int row) const { return m_checked[size_t(row)] != 0; }
    void setChecked(int row, bool checked);
    void setAllChecked(bool checked);

    // A tooltip and a warning mark per row. The tooltip is made by toolTip(row) when it is
    // shown ("" for none), so a change costs no text for every row; marks are index for index
    // with the texts, rows beyond them have none. A relisting (setTexts, clear) drops both.
    // Emits one change for all rows.
    void setRowHints(ToolTipFunction toolTip, std::vector<char> marks);
    bool isMarked(int row) const { return size_t(row) < m_marks.size() && m_marks[size_t(row)]; }
    // The background of a marked row (Qt::BackgroundRole); the list sets it from its palette.
    void setMarkBrush(const QBrush &brush);

private:
    QStringList m_texts;
    std::vector<char> m_checked;
    ToolTipFunction m_toolTip;
    std::vector<char> m_marks;
    QBrush m_markBrush;
};

// Gives every row one width, so that the list scrolls sideways exactly that far.
class RowWidthDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setRowWidth(int width) { m_rowWidth = width; }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_rowWidth = 0;
};

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
