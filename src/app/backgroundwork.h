#pragma once

#include <functional>

// Runs work on a worker thread and returns when it is done. Meanwhile the calling thread (the
// user-interface thread) keeps processing events, so windows repaint and the few controls left
// enabled answer; tick is called on the calling thread every tickMs until the work is done.
void runInBackground(const std::function<void()> &work, const std::function<void()> &tick = {},
                     int tickMs = 33);
