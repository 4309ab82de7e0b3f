#include "toolkit/compactlabelstyle.h"

#include <QApplication>
#include <QStyleOptionComplex>

namespace toolkit {

CompactLabelStyle::CompactLabelStyle(QObject *owner)
    : QProxyStyle(QApplication::style()->name())
{
    setParent(owner);
}

int CompactLabelStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing)
        return 3;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

// A narrow arrow and a thin edge leave the closed drop-down list room for its entries at the
// fixed width of the classic control.
QRect CompactLabelStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                                        const QWidget *widget) const
{
    if (control != CC_ComboBox || (part != SC_ComboBoxArrow && part != SC_ComboBoxEditField))
        return QProxyStyle::subControlRect(control, option, part, widget);
    constexpr int arrowWidth = 10, edge = 2;
    const QRect all = option->rect;
    const QRect arrow(all.right() - arrowWidth, all.top(), arrowWidth, all.height());
    if (part == SC_ComboBoxArrow)
        return arrow;
    return QRect(all.left() + edge, all.top() + edge, arrow.left() - all.left() - edge, all.height() - 2 * edge);
}

} // namespace toolkit
