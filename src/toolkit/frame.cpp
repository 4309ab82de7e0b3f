#include "frame.h"

#include <QPainter>

namespace toolkit {

Frame::Frame(const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent)
{
}

void Frame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int line = metrics.height() / 2;
    const QRect border = rect().adjusted(0, line, -1, -1);

    // An etched line: dark, with a light line one pixel inside and below.
    const QColor dark = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    painter.setPen(light);
    painter.drawRect(border.translated(1, 1));
    painter.setPen(dark);
    painter.drawRect(border);

    const QString caption = title();
    if (caption.isEmpty())
        return;
    const int captionLeft = 8;
    const QRect captionRect(captionLeft - 2, 0, metrics.horizontalAdvance(caption) + 4, metrics.height());
    painter.fillRect(captionRect, palette().color(QPalette::Window));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(QRect(captionLeft, 0, captionRect.width(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
}

} // namespace toolkit
