#pragma once

class QString;
class QTextStream;

// `kappwerk --undo FOLDER`: takes back the last run in the folder. Returns the exit status
// (0 everything taken back, 1 some of it could not be, 2 nothing to undo or bad usage).
int runUndoCommand(const QString &folder, QTextStream &out, QTextStream &err);

// What keeps the folder given on the command line from being used, "" when nothing does: it is
// no folder, or its path holds bytes that are not UTF-8, which Kappwerk cannot show (nor turn
// back into the same path).
QString folderArgumentProblem(const QString &argument);
