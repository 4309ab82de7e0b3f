#pragma once

#include <QObject>

class QWidget;

// Drops the user's input to one window (and everything in it) while it lives, and shows the
// busy cursor: for short work, where greying every control would only flicker. The window
// manager's close request still gets through.
class InputBlocker : public QObject
{
public:
    explicit InputBlocker(QWidget *window);
    ~InputBlocker() override;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    QWidget *m_window;
};
