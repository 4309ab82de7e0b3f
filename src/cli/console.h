#pragma once

#include <QByteArray>
#include <QString>

// Joins the console of the shell that started the program, for a program that the system
// starts without one (a windowed program on Windows); elsewhere this does nothing.
void attachToParentConsole();

// Whether the window can be shown: on Windows always; elsewhere when a display is named
// (DISPLAY, WAYLAND_DISPLAY, -display) or a platform other than X11 or Wayland is chosen
// (QT_QPA_PLATFORM, -platform). Looked at before any window-system object exists, since Qt
// aborts when it cannot open one.
bool displayAvailable(int argc, const char *const *argv);

// The message for a window that cannot be shown, with the reason; the command line still works.
QByteArray noDisplayMessage(const char *reason);

class QTextStream;

// Writes out what standard output (out) still holds. Returns why a write to it failed, at any
// time since the start; empty when every line was written.
QString outputProblem(QTextStream &out);

// Tells kappwerk.com, where it started the program, that the window opens: it stops waiting.
// Elsewhere this does nothing.
void tellLauncherWindowOpens();

// Ends the process at once, everything written: the system takes its memory back faster than
// the program would free a large folder's names one by one. On Windows it returns, and the
// program ends normally: an ending process there still unloads its libraries, and Qt's would
// tear down their state under an application object that was never destroyed.
void endProcessNow(int status);
