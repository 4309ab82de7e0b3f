// The command line run as a child process, the way a script runs it: no display, no platform
// plugin chosen, a settings file of its own that must come out of every run unchanged.
#ifdef __linux__
#include <sys/mount.h>
#endif

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include "columns.h"
#include "folderstate.h"

namespace {

struct Result {
    int status = -1;
    QStringList lines; // of standard output
    QString errors;
};

// Stored options far from the first-run defaults: numbered names, renamed in place, characters
// kept, only "*.wav" listed.
const QByteArray StoredOptions = "[Optionen]\nExtension.ListIndex=11\nCutAfterLength.Value=false\nRename.Value=true\n"
                                 "MaxFileLength.Text=5\nNewFilename.Text=Lied %#\nOverwrite.Value=1\nSubdirectory.Value=1\n"
                                 "Subdirectory.Enabled=false\nSpecial.Value=0\n";

// Lists are separated by ",", lines of output by "\n".
QStringList list(const QString &text, QChar by = u',')
{
    return text.split(by, Qt::SkipEmptyParts);
}

// In the arguments FOLDER stands for the folder, "FOLDER/name" for a path in it; an empty
// "after" is the folder as it was.
void row(const char *name, const QString &files, const QString &arguments, int status, const QString &output,
         const QString &after = {}, const QString &errors = {})
{
    QTest::newRow(name) << list(files) << list(arguments) << status << list(output, u'\n') << list(after) << errors;
}
// A bad call changes nothing, prints nothing and names its fault on standard error.
void badCall(const char *name, const QString &files, const QString &arguments, const QString &error)
{
    QTest::newRow(name) << list(files) << list(arguments) << 2 << QStringList() << QStringList() << error;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("music")));
        QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("config/Kappwerk")));
        QFile settings(settingsFile());
        QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write(StoredOptions) == StoredOptions.size());
#ifndef Q_OS_WIN
        // The program is started in this folder, beside a broken library of Qt's name: a
        // program that looked for its libraries in the current folder would not start.
        QFile decoy(m_home->filePath(QStringLiteral("libQt6Core.so.6")));
        QVERIFY(decoy.open(QIODevice::WriteOnly) && decoy.write("not a library\n") > 0);
#endif
    }
    void cleanup()
    {
#ifndef Q_OS_WIN
        // QDir cannot remove a name in another encoding (exactOutput makes one).
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_home->path()});
#endif
    }
    void run_data()
    {
        columns<QStringList, QStringList, int, QStringList, QStringList, QString>("files", "arguments", "status", "output",
                                                                             "after", "error");
        const QString s = QStringLiteral("Schubert - Ständchen.mp3"), taken = "\tübersprungen: Name schon vergeben";
        // -v tells on standard error which file the run is at.
        row("rename in place, verbose", s + ",Grüße.mp3,cover.jpg", "--run,-v,--rename,--cut,8,FOLDER", 0,
            "Grüße.mp3\tGre.mp3\tumbenannt\n" + s + "\tSchubert.mp3\tumbenannt",
            "Gre.mp3=Grüße.mp3,Schubert.mp3=" + s + ",cover.jpg", "1/2 Grüße.mp3\n2/2 " + s + "\n");
        row("copy into MOBIX by default", s, "--run,FOLDER", 0, s + "\tSchubert - Stndchen.mp3\tkopiert",
            "MOBIX/,MOBIX/Schubert - Stndchen.mp3=" + s + ',' + s);
        row("spelled out", "Grüße aus Köln.mp3", "--run,--beside,--transliterate,FOLDER", 0,
            "Grüße aus Köln.mp3\tGruesse aus Koeln.mp3\tkopiert", "Gruesse aus Koeln.mp3=Grüße aus Köln.mp3,Grüße aus Köln.mp3");
        row("copy beside", "Grüße aus Köln.mp3", "--run,--beside,--cut,8,--keep,FOLDER", 0,
            "Grüße aus Köln.mp3\tGrüße au.mp3\tkopiert", "Grüße au.mp3=Grüße aus Köln.mp3,Grüße aus Köln.mp3");
        row("numbering under a filter", "b.wav,a.wav,c.mp3", "--run,--rename,--number,Lied %#,--filter,*.wav,--keep,FOLDER",
            0, "a.wav\tLied 1.wav\tumbenannt\nb.wav\tLied 2.wav\tumbenannt", "Lied 1.wav=a.wav,Lied 2.wav=b.wav,c.mp3");
        row("a name collision", "ab 1.mp3,ab 2.mp3", "--run,--rename,--cut,2,FOLDER", 1,
            "ab 1.mp3\tab.mp3\tumbenannt\nab 2.mp3\tab.mp3" + taken, "ab 2.mp3,ab.mp3=ab 1.mp3");
        row("a name that is no name", "a.mp3,b.mp3", "--run,--rename,--number,sub/%#,--keep,--filter,*.mp3,FOLDER", 1,
            "a.mp3\tsub/1.mp3\tübersprungen: Name nicht erlaubt\n"
            "b.mp3\tsub/2.mp3\tübersprungen: Name nicht erlaubt");
        // The stored options count only with --settings, and an option given still wins.
        row("stored options", "x.wav,y.mp3", "--run,--settings,FOLDER", 0, "x.wav\tLied 1.wav\tumbenannt",
            "Lied 1.wav=x.wav,y.mp3");
        row("stored options, one given", "x.wav,y.mp3", "--run,--settings,--beside,--number,%#,FOLDER", 0,
            "x.wav\t1.wav\tkopiert", "1.wav=x.wav,x.wav,y.mp3");
        row("empty folder", "empty/", "--run,FOLDER/empty", 0, "");
        badCall("length 0", "a.mp3", "--run,--cut,0,FOLDER", "zwischen 1 und 99 Zeichen");
        badCall("length not a number", "a.mp3", "--run,--cut,acht,FOLDER", "zwischen 1 und 99 Zeichen");
        badCall("unknown filter entry", "a.mp3", "--run,--filter,*.xyz,FOLDER", "„*.mp3“");
        badCall("a file, not a folder", "a.mp3", "--run,FOLDER/a.mp3", "kein Ordner");
        badCall("no folder", "a.mp3", "--run", "ORDNER");
        badCall("no mode", "a.mp3", "--cut,5,FOLDER", "--dry-run");
        badCall("two modes", "a.mp3", "--run,--undo,FOLDER", "--dry-run");
        badCall("two ways of writing", "a.mp3", "--run,--rename,--beside,FOLDER", "--rename");
        badCall("cut and number", "a.mp3", "--run,--cut,5,--number,%#,FOLDER", "--number");
        badCall("unknown option, no mode", "a.mp3", "--fast,FOLDER", "Unbekannte Option „--fast“");
        badCall("unknown short option", "a.mp3", "--run,-x,FOLDER", "Unbekannte Option „-x“");
        badCall("missing value", "a.mp3", "--run,FOLDER,--cut", "--cut");
        badCall("a folder and more, no option", "a.mp3", "FOLDER,extra", "Überzähliges Argument „extra“");
#ifndef Q_OS_WIN // where a display always exists
        badCall("no display, no action", "a.mp3", "FOLDER", "Keine Anzeige für das Fenster");
        // One named on the command line is tried (and here does not answer).
        badCall("a display named, not there", "a.mp3", "-display,:7391,FOLDER", "(sie lässt sich nicht öffnen)");
#endif
        badCall("range backwards", "a.mp3", "--run,--allowed,z-a,FOLDER", "„z-a“");
        row("allowed ranges, escaped dash", "Ab-c_9.mp3", "--run,--rename,--allowed,a-c\\-,FOLDER", 0,
            "Ab-c_9.mp3\tb-c.mp3\tumbenannt", "b-c.mp3=Ab-c_9.mp3");
        // On a medium mounted read-only the dry run foresees what the run meets.
        row("read-only, renamed", "ro/,ro/Lied zwei.mp3", "--run,--rename,--cut,4,FOLDER/ro", 1,
            "Lied zwei.mp3\tLied.mp3\tübersprungen: keine Berechtigung");
        row("read-only, copied beside", "ro/,ro/Lied zwei.mp3", "--run,--beside,--cut,4,FOLDER/ro", 1,
            "Lied zwei.mp3\tLied.mp3\tübersprungen: keine Berechtigung");
        row("read-only, copied into MOBIX", "ro/,ro/Lied zwei.mp3", "--run,--mobix,--cut,4,FOLDER/ro", 1,
            "Lied zwei.mp3\tLied.mp3\tübersprungen: Unterordner MOBIX nicht nutzbar");
        row("help", "", "--help", 0, "Gibt Mediendateien kurze, saubere Namen.");
        row("version", "", "--version", 0, "Kappwerk 0.3b"); // as the about box names it
        row("short version", "", "-V", 0, "Kappwerk 0.3b");
    }
    // The dry run with the same arguments tells what the run does. --undo then takes the run
    // back, the last file first: the old names and bytes come back, copies go; a second --undo
    // finds nothing to take back.
    void run()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, output);
        QFETCH(QStringList, after);
        QFETCH(QString, error);
#ifdef Q_OS_WIN
        if (arguments.contains("--settings"))
            QSKIP("Windows keeps the stored options in the registry (test_windowsfs writes and reads them there)");
#endif
        // "ro/" is a file system of its own, mounted read-only once its files are written.
        const bool readOnly = files.contains("ro/");
        const QByteArray ro = QFile::encodeName(folder() + "/ro");
#ifndef Q_OS_LINUX
        if (readOnly)
            QSKIP("a file system mounted read-only inside the test needs Linux");
#else
        if (readOnly && (!QDir().mkpath(folder() + "/ro") || ::mount("tmpfs", ro.constData(), "tmpfs", 0, "size=1m") != 0))
            QSKIP("cannot mount a file system here (not root)");
        const auto unmount = qScopeGuard([&] { ::umount2(ro.constData(), MNT_DETACH); }); // none there: nothing happens
#endif
        makeFiles(files);
#ifdef Q_OS_LINUX
        QVERIFY(!readOnly || ::mount("tmpfs", ro.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0);
#endif
        const QStringList before = state();
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^FOLDER")), folder());
        const Result dryRun =
            kappwerk(QStringList(arguments).replaceInStrings(QRegularExpression("^--run$"), "--dry-run"));
        QCOMPARE(state(), before);
        const Result run = kappwerk(arguments);
        // The dry run words the run's lines as "würde kopiert".
        QCOMPARE(dryRun.lines, QStringList(run.lines).replaceInStrings(QRegularExpression("\t(?=umbenannt|kopiert|übersprungen)"),
                                                                      "\twürde "));
        QCOMPARE(dryRun.status, run.status);
        QCOMPARE(run.status, status);
        // Bad usage names the program and points to the help.
        if (status == 2)
            QVERIFY2(run.errors.startsWith("kappwerk: ") && run.errors.contains("„kappwerk --help“"),
                     qPrintable(run.errors));
        // The help is known by its opening lines, after the one naming the program.
        QCOMPARE(arguments.contains("--help") ? run.lines.mid(1, output.size()) : run.lines, output);
        QVERIFY2(error.isEmpty() ? run.errors.isEmpty() : run.errors.contains(error), qPrintable(run.errors));
        QCOMPARE(state(), after.isEmpty() ? before : after);
        QStringList undoLines;
        for (const QString &line : output) {
            const QStringList part = line.split(u'\t');
            if (part.value(2) == "umbenannt" || part.value(2) == "kopiert")
                undoLines.prepend((part[2] == "umbenannt" ? "" : after.contains("MOBIX/") ? "MOBIX/" : "") + part[1]
                                  + '\t' + part[0] + (part[2] == "umbenannt" ? "\tzurückbenannt" : "\tentfernt"));
        }
        const Result undone = kappwerk({"--undo", folder()});
        QCOMPARE(undone.lines, undoLines);
        QCOMPARE(undone.status, undoLines.isEmpty() ? 2 : 0);
        QStringList restored = state();
        restored.removeAll(QStringLiteral("MOBIX/"));
        QCOMPARE(restored, before);
        QCOMPARE(kappwerk({"--undo", folder()}).status, 2);
    }

    // Names holding a tab, a newline, a backslash and Latin-1 bytes (not UTF-8): one escaped line
    // per file, or with --null their exact bytes, each field ended by NUL ("|" here).
    void exactOutput_data()
    {
        columns<QStringList, QByteArray>("arguments", "output");
        QTest::newRow("escaped") << QStringList{"-n"}
                                 << QByteArray("a\\tb.mp3\tab.mp3\twürde kopiert\nc\\nd\\\\.mp3\tcd.mp3\twürde kopiert\n"
                                               "\\xE9t\\xE9.mp3\tt.mp3\twürde kopiert\n");
        QTest::newRow("null") << QStringList{"-n0"}
                              << QByteArray("a\tb.mp3|ab.mp3|würde kopiert|c\nd\\.mp3|cd.mp3|würde kopiert|"
                                            "\xE9t\xE9.mp3|t.mp3|würde kopiert|").replace('|', '\0');
    }
    void exactOutput()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows names hold no tab, no newline and no bytes of another encoding");
#else
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, output);
        for (const char *name : {"a\tb.mp3", "c\nd\\.mp3", "\xE9t\xE9.mp3"})
            QVERIFY(writeOrigin(QFile::encodeName(folder()) + '/' + name, "x"));
        QProcess process;
        start(process, arguments << folder());
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.readAllStandardOutput(), output);
        QCOMPARE(process.exitCode(), 0);
        // The journal keeps such names whole: the undo takes every copy back, and names them
        // escaped as the run does.
        const QStringList before = state();
        QCOMPARE(kappwerk({"--run", "--beside", folder()}).status, 0);
        QCOMPARE(kappwerk({"--undo", folder()}).lines,
                 QStringList({"t.mp3\t\\xE9t\\xE9.mp3\tentfernt", "cd.mp3\tc\\nd\\\\.mp3\tentfernt",
                              "ab.mp3\ta\\tb.mp3\tentfernt"}));
        QCOMPARE(state(), before);
        // A folder whose path is not UTF-8 cannot be shown and is not used: the command line says
        // so, given the path or "." in it, rather than calling it no folder.
        QVERIFY(::mkdir((QFile::encodeName(folder()) + "/caf\xE9").constData(), 0700) == 0);
        for (const QString &given : {QStringLiteral("."), QStringLiteral("\"$PWD\"")}) {
            QProcess shell;
            shell.start("sh", {"-c", "cd \"$1\"/\"$(printf 'caf\\351')\" && exec \"$0\" -n " + given,
                               QStringLiteral(KAPPWERK_BINARY), folder()});
            QVERIFY(shell.waitForFinished(60000));
            QCOMPARE(shell.exitCode(), 2);
            QVERIFY2(shell.readAllStandardError().contains("nicht darstellen kann"), qPrintable(given));
        }
#endif
    }

    // Two processes on one folder at once, a run against a run and a run against an undo, again
    // and again: neither ever crashes, one of them may find the folder busy and change nothing,
    // and whatever ran can be taken back, so the undos bring back exactly the files there were.
    void racingProcesses()
    {
#ifdef Q_OS_WIN
        const int files = 300, rounds = 2; // Wine starts processes and renames files far more slowly
#else
        const int files = 3000, rounds = 6;
#endif
        QStringList names;
        for (int i = 1; i <= files; ++i)
            names << QStringLiteral("Titel %1 von vielen.mp3").arg(i);
        makeFiles(names);
        const QStringList original = state();
        const QStringList run{"--run", "--rename", "--number", "%#", "--keep", "--filter", "*.*", folder()};
        for (int round = 0; round < rounds; ++round) {
            QProcess first, second;
            start(first, run);
            start(second, round % 2 ? QStringList{"--undo", folder()} : run);
            for (QProcess *process : {&first, &second}) {
                QVERIFY(process->waitForFinished(60000));
                QCOMPARE(process->exitStatus(), QProcess::NormalExit);
                const QString errors = QString::fromUtf8(process->readAllStandardError());
                // Status 1: the files it listed were renamed by the other before it held the folder.
                QVERIFY2(process->exitCode() <= 1 || errors.contains("läuft gerade ein anderer Lauf")
                             || errors.contains("kein Lauf verzeichnet"), qPrintable(errors));
            }
            int undos = 0;
            while (kappwerk({"--undo", folder()}).status == 0)
                QVERIFY(++undos < 4);
            QCOMPARE(state(), original);
        }
    }
    // An undo that cannot take everything back says what and ends with status 1; once the
    // obstacle is gone, a second --undo finishes the work: a file in the way of an old name, or
    // the folder's card not there (an empty folder at its path, where the card is mounted).
    void undoBlocked_data()
    {
        columns<bool, QStringList, QStringList>("card", "blocked", "again");
        const QString back = "\tzurückbenannt", missing = "\tnicht rückgängig: Datei fehlt";
        QTest::newRow("a file in the way")
            << false << QStringList{"2.mp3\tLied zwei.mp3" + back, "1.mp3\tLied eins.mp3\tnicht rückgängig: alter Name ist wieder vergeben"}
            << QStringList{"1.mp3\tLied eins.mp3" + back};
        QTest::newRow("the card not there") << true << QStringList{"2.mp3\tLied zwei.mp3" + missing, "1.mp3\tLied eins.mp3" + missing}
                                            << QStringList{"2.mp3\tLied zwei.mp3" + back, "1.mp3\tLied eins.mp3" + back};
    }
    void undoBlocked()
    {
        QFETCH(bool, card);
        QFETCH(QStringList, blocked);
        QFETCH(QStringList, again);
        makeFiles({"Lied eins.mp3", "Lied zwei.mp3"});
        QCOMPARE(kappwerk({"--run", "--rename", "--number", "%#", "--keep", "--filter", "*.*", folder()}).status, 0);
        const QString away = m_home->filePath(QStringLiteral("card"));
        if (card)
            QVERIFY(QDir().rename(folder(), away) && QDir().mkpath(folder()));
        else
            makeFiles({"Lied eins.mp3"});
        const Result first = kappwerk({"--undo", folder()});
        QCOMPARE(first.status, 1);
        QCOMPARE(first.lines, blocked);
        if (card)
            QVERIFY(QDir().rmdir(folder()) && QDir().rename(away, folder()));
        else
            QVERIFY(QFile::remove(folder() + "/Lied eins.mp3"));
        const Result second = kappwerk({"--undo", folder()});
        QCOMPARE(second.status, 0);
        QCOMPARE(second.lines, again);
        QCOMPARE(state(), (QStringList{"Lied eins.mp3", "Lied zwei.mp3"}));
    }
    // Lengths read the same in the user's locale: a German one separates decimals with ",".
    void lengthInGermanLocale_data()
    {
        columns<QString>("length");
        QTest::newRow("12,7") << "12,7";
        QTest::newRow("1.3e1") << "1.3e1";
    }
    void lengthInGermanLocale()
    {
#ifdef Q_OS_WIN
        QSKIP("the C runtime of Windows reads numbers in its own locale unless told otherwise");
#else
        QFETCH(QString, length);
        const QString locales = m_home->filePath(QStringLiteral("locales"));
        QProcess compile;
        QVERIFY(QDir().mkpath(locales));
        compile.start(QStringLiteral("localedef"), {"-i", "de_DE", "-f", "UTF-8", locales + "/de_DE.UTF-8"});
        if (!compile.waitForFinished(60000) || compile.exitCode() != 0)
            QSKIP("localedef cannot make a German locale here (package \"locales\" missing)");
        qputenv("LOCPATH", QFile::encodeName(locales));
        qputenv("LC_ALL", "de_DE.UTF-8");
        makeFiles({"Ein sehr langer Liedtitel.mp3"});
        const Result result = kappwerk({"--dry-run", "--rename", "--cut", length, folder()});
        qunsetenv("LOCPATH");
        qunsetenv("LC_ALL");
        QCOMPARE(result.lines, QStringList{"Ein sehr langer Liedtitel.mp3\tEin sehr lang.mp3\twürde umbenannt"});
#endif
    }
    // Lines that standard output cannot take (a full disk behind it) are told, with a status of
    // their own; a run still happened, and --undo takes it back.
    void outputLost_data()
    {
        columns<QStringList, QStringList>("arguments", "after");
        QTest::newRow("run") << QStringList{"--run", "--rename", "--cut", "4"} << QStringList{"Lied.mp3=Lied eins.mp3"};
        QTest::newRow("dry run") << QStringList{"--dry-run"} << QStringList();
        QTest::newRow("version") << QStringList{"--version"} << QStringList();
    }
    void outputLost()
    {
#ifndef Q_OS_LINUX
        QSKIP("/dev/full, a file that no write fits into, is Linux's");
#else
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, after);
        makeFiles({"Lied eins.mp3"});
        const QStringList before = state();
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        start(process, arguments << folder());
        QVERIFY(process.waitForFinished(60000));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 3);
        QVERIFY2(errors.startsWith("kappwerk: Die Ausgabe lässt sich nicht vollständig schreiben: "), qPrintable(errors));
        QCOMPARE(state(), after.isEmpty() ? before : after);
        QCOMPARE(kappwerk({"--undo", folder()}).status, after.isEmpty() ? 2 : 0);
        QCOMPARE(state(), before);
#endif
    }
    // With --settings a stored value counts as the window reads it: an empty length as 1, as
    // an emptied field, one out of range as the default.
    void storedLength_data()
    {
        columns<QByteArray, QString>("length", "name");
        QTest::newRow("empty") << QByteArray() << "A.mp3";
        QTest::newRow("out of range") << QByteArray("150") << "Abcdefghijklmnopqrstuvwxyz0123.mp3";
    }
    void storedLength()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows keeps the stored options in the registry (test_windowsfs writes and reads them there)");
#endif
        QFETCH(QByteArray, length);
        QFETCH(QString, name);
        QFile settings(settingsFile());
        QVERIFY(settings.open(QIODevice::WriteOnly)
                && settings.write("[Optionen]\nOverwrite.Value=1\nMaxFileLength.Text=" + length + '\n') > 0);
        settings.close();
        makeFiles({"Abcdefghijklmnopqrstuvwxyz0123456789.mp3"});
        QCOMPARE(kappwerk({"--dry-run", "--settings", folder()}).lines,
                 QStringList{"Abcdefghijklmnopqrstuvwxyz0123456789.mp3\t" + name + "\twürde umbenannt"});
    }
    // A run whose journal cannot be written changes nothing unless told to go ahead without it.
    void runThatCannotBeTakenBack()
    {
        makeFiles({"Lied eins.mp3"});
        QTemporaryFile notAFolder;
        QVERIFY(notAFolder.open());
        const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(notAFolder.fileName()));
        const Result refused = kappwerk({"--run", "--rename", "--cut", "4", folder()});
        const Result done = kappwerk({"--run", "--no-undo", "--rename", "--cut", "4", folder()});
        qputenv("XDG_STATE_HOME", stateHome);
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.errors.contains("kann nicht rückgängig gemacht werden") && refused.errors.contains("--no-undo"),
                 qPrintable(refused.errors));
        QCOMPARE(done.status, 0);
        QCOMPARE(done.lines, QStringList{"Lied eins.mp3\tLied.mp3\tumbenannt"});
        QCOMPARE(state(), QStringList{"Lied.mp3=Lied eins.mp3"});
    }

private:
    void start(QProcess &process, const QStringList &arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // A script on a server: no display, and nothing that picks a window system for Qt.
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
        process.setProcessEnvironment(environment);
#ifndef Q_OS_WIN // where the state folder the tests name ("/…") lies on the current drive
        process.setWorkingDirectory(m_home->path());
#endif
#ifdef KAPPWERK_CONSOLE // as typed in a console: kappwerk.com, which waits for kappwerk.exe
        process.start(QStringLiteral(KAPPWERK_CONSOLE), arguments);
#else
        process.start(QStringLiteral(KAPPWERK_BINARY), arguments);
#endif
    }
    QString folder() const { return m_home->filePath(QStringLiteral("music")); }
    QString settingsFile() const { return m_home->filePath(QStringLiteral("config/Kappwerk/Kappwerk.conf")); }
    // "name" is a file holding its own bytes, "name/" a folder.
    void makeFiles(const QStringList &names) const
    {
        for (const QString &name : names)
            QVERIFY(name.endsWith('/') ? QDir(folder()).mkpath(name)
                                       : writeOrigin(QFile::encodeName(folder() + '/' + name), name));
    }
    QStringList state() const { return folderState(folder() + '/'); }
    Result kappwerk(const QStringList &arguments) const;

    std::unique_ptr<QTemporaryDir> m_home;
};

Result TestCommandLine::kappwerk(const QStringList &arguments) const
{
    const QFileInfo settingsBefore(settingsFile());
    QFile settings(settingsFile());
    const QByteArray stored = settings.open(QIODevice::ReadOnly) ? settings.readAll() : QByteArray();
    settings.close();
    QProcess process;
    start(process, arguments);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        qWarning() << "kappwerk did not end normally:" << process.readAllStandardError();
        return result;
    }
    result.status = process.exitCode();
    // Windows ends the lines of text output with "\r\n".
    result.lines = list(QString::fromUtf8(process.readAllStandardOutput()).remove(u'\r'), u'\n');
    result.errors = QString::fromUtf8(process.readAllStandardError()).remove(u'\r');
    // The command line only ever reads the stored options.
    if (!settings.open(QIODevice::ReadOnly) || settings.readAll() != stored
        || QFileInfo(settingsFile()).lastModified() != settingsBefore.lastModified()
        || QDir(m_home->filePath(QStringLiteral("config/Kappwerk"))).count() != 3) {
        qWarning() << "the stored options were touched by" << arguments;
        result.status = -2;
    }
    return result;
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
