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
    std::function<void(const NativeName &)> beforePublish;
};

PlatformSeams &platformSeams();
