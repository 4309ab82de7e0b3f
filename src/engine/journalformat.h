#pragma once

// The journal's text, shared by the journal's writer and reader inside the engine.
#include "engine/journal.h"

// The folder as the journal knows it: without links in its path, so the window and the command
// line find one journal whichever way the folder was reached.
QString journalKey(const QString &folderPath);
// The first line: what the file is, the folder, and when the run began.
QByteArray journalHeader(const QString &folderPath, const qint64 startTime[2]);
QByteArray encodeJournalName(const NativeName &name);
// The most bytes a step's line can take, and the line put at to (its end returned).
qint64 longestStepLine(const JournalStep &step);
char *putStepLine(char *to, const JournalStep &step);
