#include "app/previewwindow.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/previewtablemodel.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"

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
    m_table->setColumnWidth(PreviewTableModel::OldName, 220);
    m_table->setColumnWidth(PreviewTableModel::NewName, 190);
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
        for (int column : {PreviewTableModel::OldName, PreviewTableModel::NewName}) {
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
