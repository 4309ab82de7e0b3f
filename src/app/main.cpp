#include "app/mainwindow.h"
#include "engine/platformfs.h"
#include "toolkit/controls.h"
#include "toolkit/translations.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[])
{
    removeTempsOnSignals(); // SIGTERM, SIGINT and SIGHUP remove a half-written copy first
    // The settings store and the desktop integration read these names, so they come first.
    QCoreApplication::setOrganizationName(QStringLiteral("Kappwerk"));
    QCoreApplication::setApplicationName(QStringLiteral("Kappwerk"));
    QGuiApplication::setDesktopFileName(QStringLiteral("de.kappwerk.Kappwerk"));

    QApplication app(argc, argv);
    toolkit::installGermanTranslations(app);
    toolkit::ensureTahoma();

    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("Kappwerk"), QStringLiteral("Kappwerk"));
    Main window(settings);
    // Unloading the main window ends the program at once, whatever other window is open.
    QObject::connect(&window, &Main::unloaded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
