#pragma once

class QString;
class QTextStream;

// `kappwerk --undo FOLDER`: takes back the last run in the folder. Returns the exit status
// (0 everything taken back, 1 some of it could not be, 2 nothing to undo or bad usage).
int runUndoCommand(const QString &folder, QTextStream &out, QTextStream &err);
