#include "cli/console.h"

#include <QFileDevice>
#include <QStringList>
#include <QTextStream>
#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

void attachToParentConsole()
{
#ifdef Q_OS_WIN
    // Output the caller has redirected already has its handle; only the rest goes to the
    // console of the shell.
    const auto redirected = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    };
    const bool out = redirected(STD_OUTPUT_HANDLE);
    const bool err = redirected(STD_ERROR_HANDLE);
    // Started by kappwerk.com, the program joins its console whatever its output goes to, so
    // that Ctrl+C there reaches it.
    const bool launched = qEnvironmentVariableIsSet("KAPPWERK_LAUNCHER");
    if ((out && err && !launched) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out)
        std::freopen("CONOUT$", "w", stdout);
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
#endif
}

QString outputProblem(QTextStream &out)
{
    out.flush();
    auto *file = qobject_cast<QFileDevice *>(out.device());
    if (file)
        file->flush();
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (file && file->error() != QFileDevice::NoError)
        return file->errorString();
    if (out.status() != QTextStream::Ok || !flushed || std::ferror(stdout))
        return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("Schreibfehler");
    return QString();
}

void tellLauncherWindowOpens()
{
#ifdef Q_OS_WIN
    // kappwerk.com waits for the command line, not for the window: as a console does for any
    // windowed program, it goes on once told so.
    bool ok = false;
    const quintptr event = qEnvironmentVariable("KAPPWERK_LAUNCHER").toULongLong(&ok);
    if (ok && event != 0) {
        SetEvent(reinterpret_cast<HANDLE>(event));
        CloseHandle(reinterpret_cast<HANDLE>(event));
    }
    qunsetenv("KAPPWERK_LAUNCHER");
#endif
}

void endProcessNow(int status)
{
#ifdef Q_OS_WIN
    Q_UNUSED(status);
#else
    std::_Exit(status);
#endif
}

bool displayAvailable(int argc, const char *const *argv)
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#else
    // A platform or an X display named on the command line is tried as given.
    for (int i = 1; i + 1 < argc; ++i) {
        for (const char *option : {"-platform", "--platform", "-display", "--display"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platform.isEmpty())
        return x11 || wayland;
    // A list such as "wayland;xcb" is tried in turn.
    for (const QString &choice : platform.split(u';')) {
        const bool needsX11 = choice.startsWith(QLatin1String("xcb"));
        const bool needsWayland = choice.startsWith(QLatin1String("wayland"));
        if ((!needsX11 || x11) && (!needsWayland || wayland))
            return true;
    }
    return false;
#endif
}

QByteArray noDisplayMessage(const char *reason)
{
    return QByteArray("kappwerk: Keine Anzeige für das Fenster (") + reason
        + ").\nOhne Anzeige arbeitet Kappwerk mit --dry-run, --run oder --undo; „kappwerk --help“ zeigt alle "
          "Optionen.\n";
}
