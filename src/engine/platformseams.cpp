#include "platformseams.h"

#include <cerrno>

int countCopied(qint64 count, qint64 chunk, qint64 *copied, qint64 *inChunk,
                const std::function<bool(qint64)> &between)
{
    *copied += count;
    *inChunk += count;
    if (platformSeams().copyWriteLimit >= 0 && *copied > platformSeams().copyWriteLimit)
        return ENOSPC;
    if (*inChunk < chunk)
        return 0;
    *inChunk = 0;
    return between && !between(*copied) ? ECANCELED : 0;
}

PlatformSeams &platformSeams()
{
    static PlatformSeams seams;
    return seams;
}

void setCopyWriteLimitForTest(qint64 bytes) { platformSeams().copyWriteLimit = bytes; }
void setCopyMethodForTest(CopyMethod method) { platformSeams().copyMethod = method; }
void setPublishLimitForTest(PublishLimit limit) { platformSeams().publishLimit = limit; }
void setUnnamedTempsForTest(bool allowed) { platformSeams().unnamedTemps = allowed; }
void setCheckErrorForTest(int error) { platformSeams().checkError = error; }
void setCopyChunkForTest(qint64 bytes) { platformSeams().copyChunk = bytes; }
void setListedInodeShiftForTest(quint64 shift) { platformSeams().listedInodeShift = shift; }
void setInodeAliasForTest(quint64 from, quint64 to)
{
    platformSeams().inodeAliasFrom = from;
    platformSeams().inodeAliasTo = to;
}
void setFlushErrorForTest(int error) { platformSeams().flushError = error; }
void setJournalRoomForTest(qint64 bytes) { platformSeams().journalRoom = bytes; }
void setJournalReadErrorForTest(int error) { platformSeams().journalReadError = error; }
void setJournalCutErrorForTest(int error) { platformSeams().journalCutError = error; }
void setReservationPauseForTest(int milliseconds) { platformSeams().reservationPauseMs = milliseconds; }
void setFlushHookForTest(std::function<void()> hook) { platformSeams().onFlush = std::move(hook); }
void setIdentityUnstableForTest(bool unstable) { platformSeams().identityUnstable = unstable; }
void setIgnoreCaseForTest(bool ignore) { platformSeams().ignoreCase = ignore; }
void setCaseRenamesKeptForTest(bool kept) { platformSeams().caseRenamesKept = kept; }

void setWriteErrorForTest(int error, qint64 afterBytes)
{
    platformSeams().writeError = error;
    platformSeams().writeErrorAfter = afterBytes;
}

void setBeforePublishForTest(std::function<void(const NativeName &)> hook)
{
    platformSeams().beforePublish = std::move(hook);
}
