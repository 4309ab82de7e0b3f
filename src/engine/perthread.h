#pragma once

#include <QtGlobal>
#ifdef Q_OS_WIN
#include <QThreadStorage>
#endif

// One T for each thread, made on its first use there and deleted when the thread ends: the
// caches that keep the last result of a rule for the next name. On Windows through Qt's thread
// storage: MinGW-w64 runs the destructors of thread_local objects after their thread's storage
// is freed, which corrupts the heap whenever a worker thread ends.
template <typename T>
T &perThread()
{
#ifdef Q_OS_WIN
    static QThreadStorage<T *> storage;
    T *value = storage.localData();
    if (!value) {
        value = new T;
        storage.setLocalData(value);
    }
    return *value;
#else
    thread_local T value;
    return value;
#endif
}
