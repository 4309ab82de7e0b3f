#include "toolkit/checklistmodel.h"

#include <QPalette>

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
    case Qt::AccessibleDescriptionRole:
        // A screen reader cannot see the mark: it reads out what the tooltip says instead.
        if (isMarked(index.row()) && m_toolTip)
            return m_toolTip(index.row());
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
        emit dataChanged(index(0), index(int(m_texts.size()) - 1), {Qt::ToolTipRole, Qt::BackgroundRole, Qt::AccessibleDescriptionRole});
}

void CheckListModel::setMarkBrush(const QBrush &brush)
{
    m_markBrush = brush;
    if (!m_marks.empty() && !m_texts.isEmpty())
        emit dataChanged(index(0), index(int(m_texts.size()) - 1), {Qt::BackgroundRole});
}

} // namespace toolkit
