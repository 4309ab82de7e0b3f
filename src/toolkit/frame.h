#pragma once

#include <QGroupBox>

namespace toolkit {

// A frame whose caption sits in its top border line, as the classic desktop frame draws it.
// Its children are placed at fixed positions from its top-left corner, caption included, so
// the border must run through the caption's middle and leave the area below it free.
class Frame : public QGroupBox
{
    Q_OBJECT
public:
    Frame(const QString &caption, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace toolkit
