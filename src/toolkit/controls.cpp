#include "controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStyle>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>

namespace toolkit {

namespace {
class CompactLabelStyle : public QProxyStyle
{
public:
    explicit CompactLabelStyle(QObject *owner)
        : QProxyStyle(QApplication::style()->name())
    {
        setParent(owner);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing)
            return 3;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};
} // namespace

void useCompactLabels(QWidget *window)
{
    auto *style = new CompactLabelStyle(window);
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        box->setStyle(style);
    for (QRadioButton *button : window->findChildren<QRadioButton *>())
        button->setStyle(style);
}

QFont standardFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void ensureTahoma()
{
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive))
        return;
    static const char *const candidates[] = {
        "/usr/share/wine/fonts/tahoma.ttf",
        "/usr/share/fonts/truetype/wine/tahoma.ttf",
        "/usr/local/share/wine/fonts/tahoma.ttf",
    };
    for (const char *path : candidates) {
        if (QFile::exists(QString::fromLatin1(path))
            && QFontDatabase::addApplicationFont(QString::fromLatin1(path)) >= 0)
            return;
    }
}

QIcon svgIcon(const QString &resourcePath, int size)
{
    QSvgRenderer renderer(resourcePath);
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPushButton *makePictureButton(QWidget *parent, const QRect &geometry, const QString &imagePath,
                               int imageSize, const QString &toolTip)
{
    auto *button = new QPushButton(parent);
    button->setGeometry(geometry);
    button->setIcon(svgIcon(imagePath, imageSize));
    button->setIconSize(QSize(imageSize, imageSize));
    button->setToolTip(toolTip);
    button->setFont(standardFont());
    return button;
}

int checkValue(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

void setCheckValue(QCheckBox *box, int value)
{
    if (value == 2)
        box->setTristate(true);
    box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

} // namespace toolkit
