#pragma once

#include <vector>

#include <QAbstractTableModel>
#include <QBrush>
#include <QDialog>
#include <QStringList>

#include "engine/run.h"

class QCheckBox;
class QLabel;
class QTableView;

// The ticked entries of a planned run as a table of old name, new name and status, problems
// first; plain arrays, so a folder of 100,000 files needs no object per row.
class PreviewTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
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

// The preview window: shows what the next run would do with the current options and ticks,
// and never changes anything. Modeless and without an owner, like the allowed-characters
// dialog; Escape closes it. The main window hands it every new plan while it is shown.
class PreviewWindow : public QDialog
{
    Q_OBJECT
public:
    PreviewWindow();

    // When hidden: show centred. When shown: bring it to the front.
    void showWindow();
    void setPlan(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                 const RenameOptions &options);

    // The table as shown, row by row (for tests and the window's own summary).
    int rowCount() const;
    QString cell(int row, int column) const;
    bool problemsOnly() const;
    void setProblemsOnly(bool only);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateSummary();

    PreviewTableModel *m_model;
    QTableView *m_table;
    QCheckBox *m_problemsOnly;
    QLabel *m_summary;
};
