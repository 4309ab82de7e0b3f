#include "app/previewwindow.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include "app/previewtexts.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"

namespace {
enum Column { OldName, NewName, Status, ColumnCount };
} // namespace

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
            if ((problem != PreviewProblem::None) != (pass == 0))
                continue;
            m_oldNames.append(entries[i].text);
            m_newNames.append(plan[i].newName);
            m_statuses.append(pass == 0 ? problemText(entries, plan, i, problem) : action);
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

PreviewWindow::PreviewWindow()
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_model(new PreviewTableModel(this))
    , m_table(new QTableView(this))
    , m_problemsOnly(new QCheckBox(QStringLiteral("Nur Probleme zeigen"), this))
    , m_summary(new QLabel(this))
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("Vorschau der neuen Namen"));
    setFont(toolkit::standardFont());
    setModal(false);
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(720, 380);

    m_model->setMarkBrush(toolkit::warningBrush(palette()));
    m_table->setObjectName(QStringLiteral("PreviewTable"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    // Problems come first, so a row number would not be the entry's place in the list.
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(OldName, 220);
    m_table->setColumnWidth(NewName, 190);
    m_problemsOnly->setObjectName(QStringLiteral("ProblemsOnly"));
    m_summary->setObjectName(QStringLiteral("Summary"));
    connect(m_problemsOnly, &QCheckBox::toggled, this, [this](bool only) {
        m_model->setProblemsOnly(only);
        updateSummary();
    });

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_problemsOnly);
    bottom->addStretch();
    bottom->addWidget(m_summary);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_table);
    layout->addLayout(bottom);
    updateSummary();
}

void PreviewWindow::showWindow()
{
    if (!isVisible()) {
        // The name columns as wide as the names shown first, within reason; the status takes the rest.
        for (int column : {OldName, NewName}) {
            m_table->resizeColumnToContents(column);
            m_table->setColumnWidth(column, std::clamp(m_table->columnWidth(column), 120, 260));
        }
        toolkit::centreOnScreen(this);
        show();
    }
    raise();
    activateWindow();
}

void PreviewWindow::setPlan(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                            const RenameOptions &options)
{
    m_model->setPlan(entries, plan, options);
    updateSummary();
}

int PreviewWindow::rowCount() const
{
    return m_model->rowCount();
}

QString PreviewWindow::cell(int row, int column) const
{
    return m_model->data(m_model->index(row, column), Qt::DisplayRole).toString();
}

bool PreviewWindow::problemsOnly() const
{
    return m_problemsOnly->isChecked();
}

void PreviewWindow::setProblemsOnly(bool only)
{
    m_problemsOnly->setChecked(only);
}

void PreviewWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange) {
        m_model->setMarkBrush(toolkit::warningBrush(palette()));
        m_table->viewport()->update();
    }
    QDialog::changeEvent(event);
}

void PreviewWindow::updateSummary()
{
    const int planned = m_model->plannedCount();
    if (planned == 0) {
        m_summary->setText(QStringLiteral("Keine Dateien ausgewählt."));
        return;
    }
    m_summary->setText(QStringLiteral("%1 ausgewählt, %2 mit Problem").arg(planned).arg(m_model->problemCount()));
}
