#include "filescopy.h"

#include <algorithm>

#include "engine/platformfs.h"

namespace {

std::function<void(const NativeName &)> beforePublish;

NativeName folderOf(const NativeName &path)
{
    qsizetype cut = path.lastIndexOf('/');
#ifdef Q_OS_WIN
    cut = std::max(cut, path.lastIndexOf(QLatin1Char('\\')));
#endif
    return path.left(cut + 1);
}

bool copyOpenFile(FileHandle source, const FileFacts &facts, const NativeName &target, bool overwrite)
{
    // Copying a file onto itself (same name, a hard link or a link to it) would at best replace
    // it by an identical new file; it is left untouched instead.
    FileIdentity existing;
    if (fileIdentity(target, &existing) && existing == facts.identity)
        return false;
    // Saves the work of a copy that could not be published; the publish checks again.
    if (!overwrite && nameExists(target))
        return false;

    NativeName temporary;
    const FileHandle copy = createTempFile(folderOf(target), &temporary);
    if (copy == noFileHandle)
        return false;
    bool ok = copyFileData(source, copy, facts.size);
    if (ok)
        applyFileFacts(copy, facts);
    ok = closeFile(copy) && ok;
    if (ok && beforePublish)
        beforePublish(target);
    if (ok)
        ok = overwrite ? renameReplace(temporary, target) : renameNoReplace(temporary, target);
    if (!ok)
        removeFile(temporary);
    return ok;
}

} // namespace

bool CopyFileTo(const NativeName &source, const NativeName &target, bool overwrite)
{
    FileFacts facts;
    const FileHandle file = openRegularFile(source, &facts);
    if (file == noFileHandle)
        return false;
    const bool ok = copyOpenFile(file, facts, target, overwrite);
    closeFile(file);
    return ok;
}

void setBeforePublishForTest(std::function<void(const NativeName &target)> hook)
{
    beforePublish = std::move(hook);
}
