#include "app/backgroundwork.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>

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
