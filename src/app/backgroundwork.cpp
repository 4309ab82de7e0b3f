#include "app/backgroundwork.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <memory>

InputBlocker::InputBlocker(QWidget *window)
    : m_window(window)
{
    QCoreApplication::instance()->installEventFilter(this);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

InputBlocker::~InputBlocker()
{
    QGuiApplication::restoreOverrideCursor();
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject *object, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        if (auto *widget = qobject_cast<QWidget *>(object); widget && widget->window() == m_window)
            return true;
        break;
    default:
        break;
    }
    return false;
}

void runInBackground(const std::function<void()> &work, const std::function<void()> &tick, int tickMs)
{
    std::unique_ptr<QThread> worker(QThread::create(work));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    if (tick) {
        QObject::connect(&timer, &QTimer::timeout, &loop, tick);
        timer.start(tickMs);
    }
    worker->start();
    // A thread that finished before the loop started has already sent its signal.
    if (!worker->isFinished())
        loop.exec();
    worker->wait();
    if (tick)
        tick();
}
