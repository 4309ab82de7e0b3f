#pragma once

#include <QString>

#include "engine/journalformat.h"

// Removes what a run killed midway left behind, as its journal proves it made it: the empty
// file under a new name it had taken (where the file system can only take a name by creating a
// file), and its temporary files. The next run and the undo in the folder call it.
void removeWhatAKilledRunLeft(const QString &folderPath, const JournalContents &contents);
