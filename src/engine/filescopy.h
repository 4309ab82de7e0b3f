#pragma once

#include <functional>

#include "engine/platformfs.h"

// One finished copy, as the journal records it before it is published.
struct CopiedFile {
    FileIdentity identity;
    qint64 size = 0;
    qint64 modifyTime[2] = {0, 0};
    qint64 birthTime[2] = {0, 0};
};

// Copies the open regular source atomically to target in folder: the bytes go to a temporary
// file there, which takes the source's permissions and times and is published under the target
// name only when complete and checked. With older given, the copy replaces that older file under
// the target name, and only while the name still holds it unchanged; without, it never
// replaces anything, not even a file that appears during the copy. between is
// called between chunks with the bytes done (false cancels: ECANCELED); beforePublish just
// before the copy gets its name, and when it answers false the copy is dropped (ECANCELED). Any failure leaves no temporary file and the target as it was.
// Returns 0 or the error number.
int copyOpenFile(FileHandle source, const FileFacts &facts, Folder &folder, const NativeName &target,
                 const FileFacts *older, const std::function<bool(qint64 done)> &between,
                 const std::function<bool(const CopiedFile &)> &beforePublish);
