#pragma once

#include <QString>
#include <QStringList>

class QSettings;
class QTextStream;

// Whether the arguments ask for the command line (a dry run, a run, an undo, help or the
// version) rather than the window. Decided from argv alone, before any application object
// exists, so that these modes never touch a window system.
bool isCommandLineMode(int argc, const char *const *argv);

// Runs the command line on the arguments (the program's name first) and returns the exit
// status: 0 every file done, 1 some skipped, 2 bad usage or a folder that cannot be listed.
// With --settings the options not given come from settings, which is only ever read.
int runCommandLine(const QStringList &arguments, QSettings &settings, QTextStream &out, QTextStream &err);

// The folder (or file) given to the window as `kappwerk FOLDER`, "" when there is none.
QString windowFolderArgument(const QStringList &arguments);
