#pragma once

#include <QStyledItemDelegate>

namespace toolkit {

// Gives every row one width, so that the list scrolls sideways exactly that far.
class RowWidthDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setRowWidth(int width) { m_rowWidth = width; }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_rowWidth = 0;
};

} // namespace toolkit
