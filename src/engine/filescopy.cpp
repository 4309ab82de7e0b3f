#include "filescopy.h"

#include <cerrno>

int copyOpenFile(FileHandle source, const FileFacts &facts, Folder &folder, const NativeName &target,
                 const FileFacts *older, const std::function<bool(qint64 done)> &between,
                 const std::function<bool(const CopiedFile &)> &beforePublish)
{
    TempFile temp;
    int error = createTempAt(folder, &temp);
    if (error != 0)
        return error;
    error = copyFileData(source, temp.handle, facts.size, between);
    if (error == 0) {
        applyFileFacts(temp.handle, facts);
        error = checkWritten(folder, temp.handle);
    }
    FileFacts copy;
    if (error == 0)
        error = fileFacts(temp.handle, &copy);
    if (error != 0) {
        discardTemp(folder, &temp);
        return error;
    }
    const CopiedFile copied{copy.identity, copy.size, {copy.modifyTime[0], copy.modifyTime[1]},
                            {copy.birthTime[0], copy.birthTime[1]}};
    if (beforePublish && !beforePublish(copied)) {
        discardTemp(folder, &temp);
        return ECANCELED;
    }
    return publishTemp(folder, &temp, target, older);
}
