#include "app/backgroundwork.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>

namespace {

// What owns the workers. Elsewhere the application does, and its end joins them. On Windows
// nothing does, and the end of the process stops them: the MinGW-w64 runtime frees a thread's
// thread_local storage before the destructors of the thread_local objects in it run, and Qt
// Core keeps one (the stack of its regular expressions, used by the font database and by file
// calls on a worker), so a worker that ends may crash and leave the program hanging on close.
QObject *workersOwner()
{
#ifdef Q_OS_WIN
    return nullptr;
#else
    return QCoreApplication::instance();
#endif
}

// The workers live as long as the program: starting a thread costs about 10 ms (its event
// dispatcher is set up), and a thread that stays keeps its font and memory caches warm for the
// next listing. A second worker is started only when work is asked for while other work runs.
QThreadPool &workers()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(workersOwner());
        pool->setExpiryTimeout(-1);
    }
    // Work started before the application existed (the early listing) made the pool without
    // its owner; it gets it now.
    if (!pool->parent() && workersOwner())
        pool->setParent(workersOwner());
    return *pool;
}

} // namespace

void startInBackground(QObject *receiver, const std::vector<std::function<void()>> &works,
                     const std::function<void()> &done, bool runInline)
{
    if (runInline || works.empty()) {
        for (const std::function<void()> &work : works)
            work();
        done();
        return;
    }
    // The watcher belongs to the receiver: it reports on the receiver's thread, and goes with it,
    // so work that outlives its window has nobody left to report to.
    auto *watcher = new QFutureWatcher<void>(receiver);
    QObject::connect(watcher, &QFutureWatcher<void>::finished, receiver, [watcher, done] {
        watcher->deleteLater();
        done();
    });
    auto promise = std::make_shared<QPromise<void>>();
    auto left = std::make_shared<QAtomicInt>(int(works.size()));
    watcher->setFuture(promise->future());
    promise->start();
    for (const std::function<void()> &work : works) {
        workers().start([work, promise, left] {
            work();
            // The last piece to end reports the whole.
            if (left->fetchAndSubOrdered(1) == 1)
                promise->finish();
        });
    }
}

void startInBackground(std::function<void()> work)
{
    workers().start(std::move(work));
}

bool finishBackgroundWork(int timeoutMs)
{
    return workers().waitForDone(timeoutMs);
}
