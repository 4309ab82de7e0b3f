#include "platformseams.h"

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

void setWriteErrorForTest(int error, qint64 afterBytes)
{
    platformSeams().writeError = error;
    platformSeams().writeErrorAfter = afterBytes;
}

void setBeforePublishForTest(std::function<void(const NativeName &)> hook)
{
    platformSeams().beforePublish = std::move(hook);
}
