#include "controls.h"

#include "toolkit/compactlabelstyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#ifndef KAPPWERK_IMAGES_AS_PNG
#include <QSvgRenderer>
#endif

namespace toolkit {

void useCompactLabels(QWidget *window)
{
    auto *style = new CompactLabelStyle(window);
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        box->setStyle(style);
    for (QRadioButton *button : window->findChildren<QRadioButton *>())
        button->setStyle(style);
    for (QComboBox *list : window->findChildren<QComboBox *>())
        list->setStyle(style);
}

namespace {
bool &tahomaHidden()
{
    static bool hidden = false;
    return hidden;
}

bool hasTahoma()
{
    return !tahomaHidden() && QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive);
}

// The widest captions of the fixed layouts and their widths in Tahoma 8.25 pt at 96 dpi.
struct CaptionWidth {
    const char *text;
    qreal tahoma;
};
constexpr CaptionWidth widestCaptions[] = {
    {"Nach            Zeichen abschneiden", 166.4},
    {"Im Unterordner MOBIX speichern", 161.6},
    {"Sonderzeichen entfernen", 120.4},
};

bool fitsLikeTahoma(const QFont &font, qreal scale)
{
    const QFontMetricsF metrics(font);
    for (const CaptionWidth &caption : widestCaptions) {
        if (metrics.horizontalAdvance(QString::fromLatin1(caption.text)) > caption.tahoma * scale)
            return false;
    }
    return true;
}
} // namespace

void hideTahomaForTest(bool hidden)
{
    tahomaHidden() = hidden;
}

QFont standardFont()
{
    // Without Tahoma the system's sans-serif font stands in, made small enough that no caption
    // is wider than in Tahoma, so the fixed layouts keep every caption whole.
    const bool tahoma = hasTahoma();
    QFont font(tahoma ? QStringLiteral("Tahoma") : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    // Advances as designed, not widened to whole pixels, so captions take the room they were measured in.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    if (tahoma)
        return font;
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal scale = (screen ? screen->logicalDotsPerInchY() : 96.0) / 96.0;
    while (font.pointSizeF() > 6.0 && !fitsLikeTahoma(font, scale))
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

void chooseFontEngine()
{
#ifdef Q_OS_WIN
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#endif
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
#ifdef KAPPWERK_IMAGES_AS_PNG
    // The build drew the image into a large PNG beside it; scaled down, it looks the same.
    const QImage drawn(QString(resourcePath).replace(QLatin1String(".svg"), QLatin1String(".png")));
#else
    QSvgRenderer renderer(resourcePath);
#endif
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
#ifdef KAPPWERK_IMAGES_AS_PNG
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, size * scale, size * scale), drawn);
#else
        renderer.render(&painter);
#endif
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

namespace {
// Sees the key presses that reach the window, which a focused push button passes on.
class ReturnClicks : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        auto *button = qobject_cast<QPushButton *>(static_cast<QWidget *>(watched)->focusWidget());
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || !button || !button->isEnabled())
            return false;
        button->click();
        return true;
    }
};
} // namespace

void clickFocusedButtonOnReturn(QWidget *window)
{
    window->installEventFilter(new ReturnClicks(window));
}

void centreOnScreen(QWidget *window)
{
    QScreen *screen = QApplication::activeWindow() ? QApplication::activeWindow()->screen()
                                                   : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area(QPoint(), window->size());
    area.moveCenter(screen->availableGeometry().center());
    window->move(area.topLeft());
}

} // namespace toolkit
