#pragma once

#include <QAbstractListModel>
#include <QBrush>
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

    // A tooltip and a warning mark per row; a marked row's tooltip is its accessible description. The tooltip is made by toolTip(row) when it is
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

} // namespace toolkit
