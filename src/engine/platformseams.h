#pragma once

#include <functional>

#include "engine/platformfs.h"

// The test seams' state, shared by the platform files of the engine (not for other code).
struct PlatformSeams {
    qint64 copyWriteLimit = -1;
    CopyMethod copyMethod = CopyMethod::Fastest;
    PublishLimit publishLimit = PublishLimit::None;
    bool unnamedTemps = true;
    int writeError = 0;
    qint64 writeErrorAfter = 0;
    int checkError = 0;
    qint64 copyChunk = 0; // 0: the normal chunk size
    quint64 listedInodeShift = 0; // added to every inode a folder's listing gives
    int flushError = 0;
    int reservationPauseMs = 0; // a pause between taking a name and the rename onto it
    std::function<void()> onFlush;
    bool identityUnstable = false;
    std::function<void(const NativeName &)> beforePublish;
};

PlatformSeams &platformSeams();

#ifndef Q_OS_WIN
// A rename onto a name just taken by an exclusive create is under way, so that a signal that
// ends the program removes the empty file when the rename has not happened (POSIX only).
void beginReservedRename(int toFolder, const char *reserved, int fromFolder, const char *from);
void endReservedRename();
#endif

// Counts a step of a copy; at the end of each chunk asks between whether to go on. Returns 0,
// ENOSPC when the simulated disk is full, or ECANCELED.
int countCopied(qint64 count, qint64 chunk, qint64 *copied, qint64 *inChunk,
                const std::function<bool(qint64)> &between);
