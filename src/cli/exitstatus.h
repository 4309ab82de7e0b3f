#pragma once

// The command line's exit statuses, as scripts read them.
enum ExitStatus : int {
    AllDone = 0,     // every listed file was done (or would be), also when nothing is listed
    SomeSkipped = 1, // some files were skipped (or would be), or could not be taken back
    BadUsage = 2,    // bad usage, a folder that cannot be listed, another run or undo in the folder,
                     // or a run whose journal cannot be written; nothing was changed
    OutputLost = 3,  // standard output could not take every line (a full disk behind it); a run
                     // itself went ahead, and --undo takes it back
};
