#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

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

// Runs work on a worker thread and returns when it is done. Meanwhile the calling thread (the
// user-interface thread) keeps processing events, so windows repaint and the few controls left
// enabled answer; tick is called on the calling thread every tickMs until the work is done.
void runInBackground(const std::function<void()> &work, const std::function<void()> &tick = {},
                     int tickMs = 33);
// The same for pieces of work that do not wait for each other: they run side by side.
void runInBackground(const std::vector<std::function<void()>> &works, const std::function<void()> &tick = {},
                     int tickMs = 33);

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
