#include "app/backgroundwork.h"
#include "app/mainwindow.h"
#include "cli/commandline.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "engine/platformfs.h"
#include "toolkit/controls.h"
#include "toolkit/translations.h"

#include <QApplication>
#include <QFileDevice>
#include <QSettings>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
// How long the program waits, once its window is gone, for work still running in the background.
constexpr int ExitWaitMs = 2000;

const char NoDisplayMessage[] =
    "kappwerk: Keine Anzeige für das Fenster (%s).\n"
    "Ohne Anzeige arbeitet Kappwerk mit --dry-run, --run oder --undo; „kappwerk --help“ zeigt alle Optionen.\n";

QtMessageHandler qtHandler = nullptr;

// Qt ends the program with a fatal message when the display it was given cannot be opened;
// the user gets the plain message and status 2 instead of an abort.
void displayFailed(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg)
        return qtHandler(type, context, message);
    std::fprintf(stderr, NoDisplayMessage, "sie lässt sich nicht öffnen");
    std::_Exit(BadUsage);
}
} // namespace

int main(int argc, char *argv[])
{
    removeTempsOnSignals(); // SIGTERM, SIGINT and SIGHUP remove a half-written copy first
    // The settings store and the desktop integration read these names, so they come first.
    QCoreApplication::setOrganizationName(QStringLiteral("Kappwerk"));
    QCoreApplication::setApplicationName(QStringLiteral("Kappwerk"));
    QGuiApplication::setDesktopFileName(QStringLiteral("de.kappwerk.Kappwerk"));
    const auto openSettings = [] {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("Kappwerk"), QStringLiteral("Kappwerk"));
    };

    // The command line must work where there is no display, so it is chosen before any
    // window-system object exists.
    if (isCommandLineMode(argc, argv)) {
        attachToParentConsole();
        QCoreApplication app(argc, argv);
        toolkit::installGermanTranslations(app);
        QTextStream out(stdout);
        QTextStream err(stderr);
        const int status = runCommandLine(app.arguments(), *openSettings(), out, err);
        // All is written and the settings let go; what the process still holds (for a large
        // folder a hundred thousand names and the kept listing) would only be freed piece by
        // piece, which costs more than the process takes to end without it.
        for (QTextStream *stream : {&out, &err}) {
            stream->flush();
            if (auto *file = qobject_cast<QFileDevice *>(stream->device()))
                file->flush();
        }
        std::fflush(nullptr);
        std::_Exit(status);
    }

    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr, NoDisplayMessage, "DISPLAY und WAYLAND_DISPLAY sind leer");
        return BadUsage;
    }
    toolkit::chooseFontEngine();
    qtHandler = qInstallMessageHandler(displayFailed);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    toolkit::installGermanTranslations(app);
    toolkit::ensureTahoma();

    const std::unique_ptr<QSettings> settings = openSettings();
    Main window(*settings);
    // Unloading the main window ends the program at once, whatever other window is open.
    QObject::connect(&window, &Main::unloaded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    // `kappwerk FOLDER`, as a file manager starts it: the folder is listed as if chosen.
    if (const QString folder = windowFolderArgument(app.arguments()); !folder.isEmpty())
        window.openFolder(folder);
    const int result = app.exec();
    // A worker may still wait for a memory card or a share that stopped answering. Only looks
    // that change nothing can be left (a close waits for listings and runs), and the options
    // are saved, so the program ends without waiting for the medium.
    if (!finishBackgroundWork(ExitWaitMs))
        std::_Exit(result);
    return result;
}
