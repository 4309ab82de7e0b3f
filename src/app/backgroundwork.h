#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

class QObject;

// Runs the pieces of work side by side on workers and returns at once; when the last has ended,
// done is called on the receiver's thread, through the event loop (a queued call), unless the
// receiver is gone by then. With runInline the work and then done run at once on the calling
// thread: tests use that to stay synchronous.
void startInBackground(QObject *receiver, const std::vector<std::function<void()>> &works,
                     const std::function<void()> &done, bool runInline = false);

// Runs work on a worker thread and returns at once; for work nobody waits for.
void startInBackground(std::function<void()> work);

// Waits at most timeoutMs for the work started in the background; false when some is still
// running (a look at a folder on a medium that stopped answering).
bool finishBackgroundWork(int timeoutMs);

// Destroys the value on a worker thread: freeing large lists costs the window no time.
template <typename T>
void releaseInBackground(T &&value)
{
    startInBackground([held = std::make_shared<std::decay_t<T>>(std::forward<T>(value))]() mutable { held.reset(); });
}
