#include "checklist.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>
#include <utility>

namespace toolkit {

QBrush warningBrush(const QPalette &palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor warning(255, 140, 0);
    constexpr double share = 0.4;
    const auto mix = [](int a, int b) { return int(a * (1 - share) + b * share + 0.5); };
    return QColor(mix(base.red(), warning.red()), mix(base.green(), warning.green()),
                  mix(base.blue(), warning.blue()));
}

int CheckListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_texts.size());
}

QVariant CheckListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_texts.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_texts.at(index.row());
    case Qt::CheckStateRole:
        return m_checked[size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        if (m_toolTip) {
            if (const QString toolTip = m_toolTip(index.row()); !toolTip.isEmpty())
                return toolTip;
        }
        return {};
    case Qt::BackgroundRole:
        if (isMarked(index.row()))
            return m_markBrush;
        return {};
    default:
        return {};
    }
}

bool CheckListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
        | Qt::ItemNeverHasChildren;
}

void CheckListModel::clear()
{
    if (m_texts.isEmpty())
        return;
    beginResetModel();
    m_texts.clear();
    m_checked.clear();
    m_toolTip = nullptr;
    m_marks.clear();
    endResetModel();
}

void CheckListModel::setTexts(const QStringList &texts)
{
    beginResetModel();
    m_texts = texts;
    m_checked.assign(size_t(texts.size()), 0);
    m_toolTip = nullptr;
    m_marks.clear();
    endResetModel();
}

void CheckListModel::setChecked(int row, bool checked)
{
    if (row < 0 || row >= m_texts.size() || bool(m_checked[size_t(row)]) == checked)
        return;
    m_checked[size_t(row)] = checked;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void CheckListModel::setAllChecked(bool checked)
{
    if (m_texts.isEmpty())
        return;
    std::fill(m_checked.begin(), m_checked.end(), char(checked));
    emit dataChanged(index(0), index(int(m_texts.size()) - 1), {Qt::CheckStateRole});
}

void CheckListModel::setRowHints(ToolTipFunction toolTip, std::vector<char> marks)
{
    // No hints before and none now: nothing for the view to look at again.
    if (!toolTip && marks.empty() && !m_toolTip && m_marks.empty())
        return;
    m_toolTip = std::move(toolTip);
    m_marks = std::move(marks);
    if (!m_texts.isEmpty())
        emit dataChanged(index(0), index(int(m_texts.size()) - 1), {Qt::ToolTipRole, Qt::BackgroundRole});
}

void CheckListModel::setMarkBrush(const QBrush &brush)
{
    m_markBrush = brush;
    if (!m_marks.empty() && !m_texts.isEmpty())
        emit dataChanged(index(0), index(int(m_texts.size()) - 1), {Qt::BackgroundRole});
}

QSize RowWidthDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (m_rowWidth > 0)
        size.setWidth(m_rowWidth);
    return size;
}

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
