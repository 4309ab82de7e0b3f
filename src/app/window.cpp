// The window, built as a library of its own that the program loads only when the window is
// wanted, so that the command line starts without the window system's libraries.
#include "app/backgroundwork.h"
#include "app/folderlister.h"
#include "app/mainwindow.h"
#include "cli/commandline.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "engine/platformfs.h"
#include "selection/filtercatalogue.h"
#include "settings/optionsstore.h"
#include "toolkit/controls.h"
#include "toolkit/translations.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace {
// How long the program waits, once its window is gone, for work still running in the background.
constexpr int ExitWaitMs = 2000;

QtMessageHandler qtHandler = nullptr;

// `kappwerk FOLDER`: the folder is read with the stored filter while the application and the
// window are made, as Main::openFolder will ask for it. The arguments are taken before the
// application removes its own options from them; a folder or filter that turns out different
// is read anew (FolderLister::listEarly).
void listFolderEarly(int argc, char **argv, QSettings &settings)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QString path = windowFolderArgument(arguments);
    if (!path.isEmpty())
        FolderLister::listEarly(path, extensionCatalogue().value(readOptions(settings).extensionIndex));
}

// Qt ends the program with a fatal message when the display it was given cannot be opened;
// the user gets the plain message and status 2 instead of an abort. Qt's own messages meanwhile
// are held back, and told only once the display is open.
struct HeldMessage {
    QtMsgType type;
    const char *category; // Qt's categories are static
    QString text;
};
std::vector<HeldMessage> heldMessages;

void displayFailed(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg)
        return heldMessages.push_back({type, context.category, message});
    std::fprintf(stderr, "%s", noDisplayMessage("sie lässt sich nicht öffnen").constData());
    std::_Exit(BadUsage);
}
} // namespace

extern "C" Q_DECL_EXPORT int kappwerkWindow(int &argc, char **argv)
{
    // The copies this library makes are its own: its handlers remove them on a signal.
    removeTempsOnSignals();
    QGuiApplication::setDesktopFileName(QStringLiteral("de.kappwerk.Kappwerk"));
    toolkit::chooseFontEngine();
    // One store for the early reading's filter and the window.
    const auto settings = openUserSettings();
    listFolderEarly(argc, argv, *settings);
    qtHandler = qInstallMessageHandler(displayFailed);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    for (const HeldMessage &held : std::exchange(heldMessages, {}))
        qtHandler(held.type, QMessageLogContext(nullptr, 0, nullptr, held.category), held.text);
    toolkit::installGermanTranslations(app);
    toolkit::ensureTahoma();

    Main window(*settings);
    // Unloading the main window ends the program at once, whatever other window is open.
    QObject::connect(&window, &Main::unloaded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    // `kappwerk FOLDER`, as a file manager starts it: the folder is listed as if chosen.
    if (const QString folder = windowFolderArgument(app.arguments()); !folder.isEmpty())
        window.openFolder(folder);
    const int result = app.exec();
    // A worker may still wait for a memory card or a share that stopped answering: a listing,
    // or a run that did not stop when the closing window asked it to, whose journal holds what
    // it did, as after a kill. The options are saved, so the program ends without waiting.
    if (!finishBackgroundWork(ExitWaitMs))
        std::_Exit(result);
    return result;
}
