#include "app/backgroundwork.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>

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
