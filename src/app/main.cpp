#include "cli/commandline.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "engine/platformfs.h"
#include "settings/optionsstore.h"
#include "toolkit/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QLibrary>
#include <QSettings>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

// The window's library (window.cpp): beside the program, as built and in the Windows folder,
// else in the program's own folder of libraries, as installed.
QString windowLibrary()
{
#ifdef Q_OS_WIN
    return QStringLiteral("kappwerk-window"); // Windows looks beside the program first
#else
    const QString programFolder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    const QString beside = programFolder + QStringLiteral("/kappwerk-window.so");
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(programFolder + QStringLiteral("/" KAPPWERK_WINDOW_FROM_PROGRAM "/kappwerk-window.so"));
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    // The settings store and the desktop integration read these names, so they come first.
    QCoreApplication::setOrganizationName(QStringLiteral("Kappwerk"));
    QCoreApplication::setApplicationName(QStringLiteral("Kappwerk"));

    // The command line must work where there is no display, so it is chosen before any
    // window-system object exists, and it never loads the window's libraries.
    if (isCommandLineMode(argc, argv)) {
        removeTempsOnSignals(); // SIGTERM, SIGINT and SIGHUP remove a half-written copy first
        attachToParentConsole();
        QCoreApplication app(argc, argv);
        toolkit::installGermanTranslations(app);
        QTextStream out(stdout);
        QTextStream err(stderr);
        int status = runCommandLine(app.arguments(), *openUserSettings(), out, err);
        // A script must not take lines lost to a full disk (behind "> list.txt") for all there
        // were, so a failed write to standard output is told and has a status of its own.
        if (const QString problem = outputProblem(out); !problem.isEmpty()) {
            err << QStringLiteral("kappwerk: Die Ausgabe lässt sich nicht vollständig schreiben: %1.").arg(problem)
                << Qt::endl;
            status = OutputLost;
        }
        // All is written and the settings let go; what the process still holds (for a large
        // folder a hundred thousand names and the kept listing) would only be freed piece by
        // piece, which costs more than the process takes to end without it.
        err.flush();
        if (auto *file = qobject_cast<QFileDevice *>(err.device()))
            file->flush();
        std::fflush(nullptr);
        endProcessNow(status);
        return status;
    }

    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr, "%s", noDisplayMessage("DISPLAY und WAYLAND_DISPLAY sind leer").constData());
        return BadUsage;
    }
    tellLauncherWindowOpens();
    QLibrary library(windowLibrary());
    using Window = int (*)(int &, char **);
    const auto window = reinterpret_cast<Window>(library.resolve("kappwerkWindow"));
    if (!window) {
        std::fprintf(stderr, "kappwerk: Das Fenster lässt sich nicht laden: %s\n",
                     library.errorString().toLocal8Bit().constData());
        return BadUsage;
    }
    return window(argc, argv);
}
