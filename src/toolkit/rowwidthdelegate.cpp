#include "toolkit/rowwidthdelegate.h"

namespace toolkit {

QSize RowWidthDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (m_rowWidth > 0)
        size.setWidth(m_rowWidth);
    return size;
}

} // namespace toolkit
