#include "leftovers.h"

#include "engine/batchrun.h"
#include "engine/namecase.h"
#include "engine/platformfs.h"

void removeWhatAKilledRunLeft(const QString &folderPath, const JournalContents &contents)
{
    const JournalRecord *last = contents.records.empty() ? nullptr : &contents.records.back();
    if (contents.temporaries.empty() && (!last || last->done != -1 || !last->valid) && !contents.undoing.valid)
        return;
    Folder folder;
    Folder mobix;
    if (openFolder(encodeNativeName(folderPath), &folder) != 0)
        return;
    openSubfolder(folder, encodeNativeName(MobixFolderName), false, &mobix);
    // Only a hidden temporary name the journal holds, of a process that is gone, and a file.
    for (const JournalTemporary &temporary : contents.temporaries) {
        Folder &in = temporary.intoMobix ? mobix : folder;
        FileFacts facts;
        if (in.isOpen() && isStaleTemporary(temporary.name) && statAt(in, temporary.name, false, &facts) == 0
            && facts.type == FileType::Regular)
            removeAt(in, temporary.name);
    }
    // Killed between taking the new name and the rename onto it: the new name holds an empty
    // file made after the run began, while the file (or the copy, of some size) it was for is
    // still elsewhere. Where case is ignored, a new name in other case alone leads to the file
    // itself, which stays however empty.
    if (last && last->done == -1 && last->valid) {
        const JournalStep &step = last->step;
        Folder &in = step.kind == JournalStep::Copy && step.intoMobix ? mobix : folder;
        FileFacts reserved;
        FileFacts original;
        const bool renameLeft = step.kind == JournalStep::Rename && statAt(folder, step.oldName, false, &original) == 0
            && original.type == FileType::Regular && (!folder.identityStable || original.identity == step.identity);
        const bool copyLeft = step.kind == JournalStep::Copy && step.size > 0;
        if ((renameLeft || copyLeft) && in.isOpen() && statAt(in, step.newName, false, &reserved) == 0
            && reserved.type == FileType::Regular && reserved.size == 0
            && reserved.modifyTime[0] + 2 * fileTimeSecond >= contents.startTime[0]
            && !(step.kind == JournalStep::Rename && sameFile(folder, original, reserved)))
            removeAt(in, step.newName);
    }
    // An undo killed between taking an old name back and the rename onto it: the old name holds
    // an empty file made after the undo began, while the file is still under its new name.
    if (const JournalUndoMark &mark = contents.undoing; mark.valid) {
        FileFacts reserved;
        FileFacts file;
        if (statAt(folder, mark.oldName, false, &reserved) == 0 && reserved.type == FileType::Regular
            && reserved.size == 0 && reserved.modifyTime[0] + 2 * fileTimeSecond >= mark.time[0]
            && statAt(folder, mark.newName, false, &file) == 0 && file.type != FileType::Missing
            && !sameFile(folder, file, reserved))
            removeAt(folder, mark.oldName);
    }
    closeFolder(&mobix);
    closeFolder(&folder);
}
