#include "app/previewtablemodel.h"

#include "app/previewtexts.h"

int PreviewTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_problemsOnly ? m_problemCount : int(m_oldNames.size());
}

int PreviewTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PreviewTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case OldName:
            return m_oldNames.at(row);
        case NewName:
            return m_newNames.at(row);
        case Status:
            return m_statuses.at(row);
        }
    }
    if (role == Qt::BackgroundRole && row < m_problemCount)
        return m_markBrush;
    return {};
}

QVariant PreviewTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case OldName:
        return QStringLiteral("Alter Name");
    case NewName:
        return QStringLiteral("Neuer Name");
    case Status:
        return QStringLiteral("Status");
    }
    return {};
}

void PreviewTableModel::setPlan(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                                const RenameOptions &options)
{
    beginResetModel();
    m_oldNames.clear();
    m_newNames.clear();
    m_statuses.clear();
    m_problemCount = 0;
    const size_t count = std::min(entries.size(), plan.size());
    // Two passes keep both groups in list order: the problems, then the rest.
    const QString action = actionText(options);
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < count; ++i) {
            if (!entries[i].selected)
                continue;
            const PreviewProblem problem = previewProblem(plan[i], options);
            if (isSkipped(problem) != (pass == 0))
                continue;
            m_oldNames.append(entries[i].text);
            m_newNames.append(plan[i].newName);
            m_statuses.append(problem != PreviewProblem::None ? problemText(entries, plan, i, problem) : action);
            m_problemCount += pass == 0;
        }
    }
    endResetModel();
}

void PreviewTableModel::setProblemsOnly(bool only)
{
    if (only == m_problemsOnly)
        return;
    beginResetModel();
    m_problemsOnly = only;
    endResetModel();
}
