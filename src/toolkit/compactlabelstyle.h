#pragma once

#include <QProxyStyle>

namespace toolkit {

// The narrow gap between mark and caption of the classic Windows check boxes and option
// buttons, and a narrow arrow in drop-down lists: the fixed layouts leave only that much room.
class CompactLabelStyle : public QProxyStyle
{
public:
    explicit CompactLabelStyle(QObject *owner);

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override;
};

} // namespace toolkit
