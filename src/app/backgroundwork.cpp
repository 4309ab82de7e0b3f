#include "app/backgroundwork.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

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

namespace {

// The workers live as long as the program: starting a thread costs about 10 ms (its event
// dispatcher is set up), and a thread that stays keeps its font and memory caches warm for the
// next listing. A second worker is started only when work is asked for while other work runs.
QThreadPool &workers()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setExpiryTimeout(-1);
    }
    return *pool;
}

} // namespace

void runInBackground(const std::function<void()> &work, const std::function<void()> &tick, int tickMs)
{
    runInBackground(std::vector<std::function<void()>>{work}, tick, tickMs);
}

void runInBackground(const std::vector<std::function<void()>> &works, const std::function<void()> &tick, int tickMs)
{
    QEventLoop loop;
    QSemaphore done;
    QAtomicInt left(int(works.size()));
    QTimer timer;
    if (tick) {
        QObject::connect(&timer, &QTimer::timeout, &loop, tick);
        timer.start(tickMs);
    }
    for (const std::function<void()> &work : works) {
        workers().start([&] {
            work();
            // The last one ends the loop. The quit is posted before the release, so the loop
            // still exists when the worker touches it; posted before the loop runs, it ends
            // the loop as soon as it starts.
            if (left.fetchAndSubOrdered(1) == 1)
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            done.release();
        });
    }
    if (!works.empty())
        loop.exec();
    done.acquire(int(works.size()));
    if (tick)
        tick();
}

void startInBackground(std::function<void()> work)
{
    workers().start(std::move(work));
}

bool finishBackgroundWork(int timeoutMs)
{
    return workers().waitForDone(timeoutMs);
}
