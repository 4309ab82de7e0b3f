#pragma once

#include "engine/run.h"

#include <vector>

class QString;
class QTextStream;

// `kappwerk --run`: the run with the same journal as the window's, so either can take it back;
// the journal also keeps a second run or an undo out of the folder while this one works.
// Without noUndo a run whose journal cannot be written, or whose journal before cannot be read,
// is refused; verbose names each file on err as the run comes to it. Returns 0 with the run's
// report, or the exit status of a refusal, its message written to err; nothing was changed then.
int runWithJournal(const std::vector<BatchEntry> &entries, const RenameOptions &options, const QString &folderPath,
                   bool verbose, bool noUndo, QTextStream &err, RunReport *report);
