#pragma once

#include "engine/run.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QStringList>

#include <vector>

// The ticked entries of a planned run as a table of old name, new name and status, problems
// first; plain arrays, so a folder of 100,000 files needs no object per row.
class PreviewTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { OldName, NewName, Status, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setPlan(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                 const RenameOptions &options);
    void setProblemsOnly(bool only);
    void setMarkBrush(const QBrush &brush) { m_markBrush = brush; }
    int problemCount() const { return m_problemCount; }
    int plannedCount() const { return int(m_oldNames.size()); }

private:
    void updateShown();

    QStringList m_oldNames; // of the ticked entries, problems first, else in list order
    QStringList m_newNames;
    QStringList m_statuses;
    int m_problemCount = 0; // the first rows
    bool m_problemsOnly = false;
    QBrush m_markBrush;
};
