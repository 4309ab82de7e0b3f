#include "toolkit/checklist.h"

#include "toolkit/rowwidthdelegate.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>
#include <utility>

namespace toolkit {

CheckList::CheckList(QWidget *parent)
    : QListView(parent)
    , m_model(new CheckListModel(this))
    , m_delegate(new RowWidthDelegate(this))
{
    // One row height for all entries: the view never asks each entry for its size, which
    // keeps filling and scrolling fast for folders of 100,000 files.
    setUniformItemSizes(true);
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    updateMarkBrush();
}

void CheckList::clear()
{
    m_model->clear();
}

void CheckList::setItems(const QStringList &texts)
{
    m_model->setTexts(texts);
}

int CheckList::count() const
{
    return m_model->rowCount();
}

QString CheckList::text(int index) const
{
    return m_model->texts().at(index);
}

const QStringList &CheckList::texts() const
{
    return m_model->texts();
}

bool CheckList::isSelected(int index) const
{
    return m_model->isChecked(index);
}

void CheckList::setSelected(int index, bool selected)
{
    m_model->setChecked(index, selected);
}

void CheckList::setAllSelected(bool selected)
{
    m_model->setAllChecked(selected);
}

bool CheckList::anySelected() const
{
    for (int i = 0, n = count(); i < n; ++i) {
        if (m_model->isChecked(i))
            return true;
    }
    return false;
}

int CheckList::textInset() const
{
    // Where the style puts an entry's text: behind the check box, with a margin on each side.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.rect = QRect(0, 0, 1000, fontMetrics().height());
    option.text = QStringLiteral("x");
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this) + 1;
    return text.left() + 2 * margin;
}

void CheckList::setRowHints(ToolTipFunction toolTip, std::vector<char> marks)
{
    m_model->setRowHints(std::move(toolTip), std::move(marks));
}

bool CheckList::isMarked(int index) const
{
    return m_model->isMarked(index);
}

void CheckList::updateMarkBrush()
{
    m_model->setMarkBrush(warningBrush(palette()));
}

void CheckList::contextMenuEvent(QContextMenuEvent *event)
{
    // From the keyboard the menu opens under the current entry, not wherever the mouse is.
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect entry = visualRect(currentIndex());
        const QPoint local = entry.isValid() && viewport()->rect().intersects(entry)
            ? QPoint(std::max(entry.left(), 0) + 16, entry.bottom())
            : viewport()->rect().center();
        at = viewport()->mapToGlobal(local);
    }
    emit menuRequested(at);
    event->accept();
}

void CheckList::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateMarkBrush();
    QListView::changeEvent(event);
}

void CheckList::setHorizontalExtent(int pixels)
{
    m_extent = std::max(0, pixels);
    m_delegate->setRowWidth(m_extent > 0 ? m_extent + textInset() : 0);
    // Every row is as wide as the extent, so the view's own sideways scroll range ends
    // exactly there, like a list box whose horizontal extent is set.
    scheduleDelayedItemsLayout();
}

void CheckList::keyPressEvent(QKeyEvent *event)
{
    // Space ticks or clears the current entry, as in a check-box list box.
    if (event->key() == Qt::Key_Space && currentIndex().isValid()) {
        const int row = currentIndex().row();
        setSelected(row, !isSelected(row));
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace toolkit
