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
    quint64 inodeAliasFrom = 0;   // a file of this number is told with the number below
    quint64 inodeAliasTo = 0;
    int flushError = 0;
    qint64 journalRoom = -1;    // the most bytes of journal its file system holds (negative: no limit)
    int journalReadError = 0;   // what every read of a journal fails with (0: reads work)
    int journalCutError = 0;    // what every cut of a journal's file fails with (0: cuts work)
    int reservationPauseMs = 0; // a pause between taking a name and the rename onto it
    std::function<void()> onFlush;
    bool identityUnstable = false;
    bool ignoreCase = false; // the folder's names count as ignoring case
    bool caseRenamesKept = false; // a rename to other case alone does nothing
    std::function<void(const NativeName &)> beforePublish;
};

PlatformSeams &platformSeams();

#ifndef Q_OS_WIN
// A rename onto a name just taken by an exclusive create is under way: a signal that would end
// the program on another thread waits until it is over, so no empty file is left (POSIX only).
void beginReservedRename();
void endReservedRename();
// Holds SIGTERM, SIGINT and SIGHUP back on this thread for as long as it lives.
class SignalsHeld
{
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    unsigned long m_before[16];
};
#endif

// Counts a step of a copy; at the end of each chunk asks between whether to go on. Returns 0,
// ENOSPC when the simulated disk is full, or ECANCELED.
int countCopied(qint64 count, qint64 chunk, qint64 *copied, qint64 *inChunk,
                const std::function<bool(qint64)> &between);
