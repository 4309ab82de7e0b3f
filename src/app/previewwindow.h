#pragma once

#include "engine/run.h"

#include <QDialog>

#include <vector>

class PreviewTableModel;
class QCheckBox;
class QLabel;
class QTableView;

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
