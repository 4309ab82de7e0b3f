// The command line run as a child process, the way a script runs it: no display, no platform
// plugin chosen, a settings file of its own that must come out of every run unchanged.
#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
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

// In the arguments "@" stands for the folder, "@/name" for a path in it. A bad call's output is
// a text of standard error; an empty "after" is the folder as it was.
void row(const char *name, const QString &files, const QString &arguments, int status, const QString &output,
         const QString &after = {})
{
    QTest::newRow(name) << list(files) << list(arguments) << status << list(output, u'\n') << list(after);
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
    }
    void run_data()
    {
        columns<QStringList, QStringList, int, QStringList, QStringList>("files", "arguments", "status", "output", "after");
        const QString s = QStringLiteral("Schubert - Ständchen.mp3"), taken = "\tübersprungen: Name schon vergeben";
        row("rename in place", s + ",Grüße.mp3,cover.jpg", "--run,--rename,--cut,8,@", 0,
            "Grüße.mp3\tGre.mp3\tumbenannt\n" + s + "\tSchubert.mp3\tumbenannt",
            "Gre.mp3=Grüße.mp3,Schubert.mp3=" + s + ",cover.jpg");
        row("copy into MOBIX by default", s, "--run,@", 0, s + "\tSchubert - Stndchen.mp3\tkopiert",
            "MOBIX/,MOBIX/Schubert - Stndchen.mp3=" + s + ',' + s);
        row("copy beside", "Grüße aus Köln.mp3", "--run,--beside,--cut,8,--keep,@", 0,
            "Grüße aus Köln.mp3\tGrüße au.mp3\tkopiert", "Grüße au.mp3=Grüße aus Köln.mp3,Grüße aus Köln.mp3");
        row("numbering under a filter", "b.wav,a.wav,c.mp3", "--run,--rename,--number,Lied %#,--filter,*.wav,--keep,@",
            0,
            "a.wav\tLied 1.wav\tumbenannt\nb.wav\tLied 2.wav\tumbenannt", "Lied 1.wav=a.wav,Lied 2.wav=b.wav,c.mp3");
        row("a name collision", "ab 1.mp3,ab 2.mp3", "--run,--rename,--cut,2,@", 1,
            "ab 1.mp3\tab.mp3\tumbenannt\nab 2.mp3\tab.mp3" + taken, "ab 2.mp3,ab.mp3=ab 1.mp3");
        row("an existing file in the way", "ab.mp3/,ab 1.mp3,cd 1.mp3", "--run,--beside,--cut,2,@", 1,
            "ab 1.mp3\tab.mp3" + taken + "\ncd 1.mp3\tcd.mp3\tkopiert", "ab 1.mp3,ab.mp3/,cd 1.mp3,cd.mp3=cd 1.mp3");
        row("a name that is no name", "a.mp3,b.mp3", "--run,--rename,--number,sub/%#,--keep,--filter,*.mp3,@", 1,
            "a.mp3\tsub/1.mp3\tübersprungen: Name nicht erlaubt\n"
            "b.mp3\tsub/2.mp3\tübersprungen: Name nicht erlaubt");
        // The stored options count only with --settings, and an option given still wins.
        row("stored options", "x.wav,y.mp3", "--run,--settings,@", 0, "x.wav\tLied 1.wav\tumbenannt",
            "Lied 1.wav=x.wav,y.mp3");
        row("stored options, one given", "x.wav,y.mp3", "--run,--settings,--beside,--number,%#,@", 0,
            "x.wav\t1.wav\tkopiert", "1.wav=x.wav,x.wav,y.mp3");
        row("nothing listed", "cover.jpg", "--run,@", 0, "");
        row("empty folder", "empty/", "--run,@/empty", 0, "");
        row("length 0", "a.mp3", "--run,--cut,0,@", 2, "zwischen 1 und 99 Zeichen");
        row("length not a number", "a.mp3", "--run,--cut,acht,@", 2, "zwischen 1 und 99 Zeichen");
        row("unknown filter entry", "a.mp3", "--run,--filter,*.ogg,@", 2, "„*.mp3“");
        row("a file, not a folder", "a.mp3", "--run,@/a.mp3", 2, "kein Ordner");
        row("no folder", "a.mp3", "--run", 2, "ORDNER");
        row("no mode", "a.mp3", "--cut,5,@", 2, "--dry-run");
        row("two modes", "a.mp3", "--run,--undo,@", 2, "--dry-run");
        row("two ways of writing", "a.mp3", "--run,--rename,--beside,@", 2, "--rename");
        row("cut and number", "a.mp3", "--run,--cut,5,--number,%#,@", 2, "--number");
        row("unknown option", "a.mp3", "--run,--fast,@", 2, "fast");
        row("help", "", "--help", 0, "Gibt Mediendateien kurze, saubere Namen.");
        row("version", "", "--version", 0, "Kappwerk 0.3.0");
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
#ifdef Q_OS_WIN
        if (arguments.contains("--settings"))
            QSKIP("Windows keeps the stored options in the registry (test_windowsfs writes and reads them there)");
#endif
        makeFiles(files);
        const QStringList before = state();
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^@")), folder());
        const Result dryRun =
            kappwerk(QStringList(arguments).replaceInStrings(QRegularExpression("^--run$"), "--dry-run"));
        QCOMPARE(state(), before);
        const Result run = kappwerk(arguments);
        QCOMPARE(dryRun.lines, run.lines);
        QCOMPARE(dryRun.status, run.status);
        QCOMPARE(run.status, status);
        if (status == 2) { // a bad call names its fault on standard error alone
            QVERIFY2(run.lines.isEmpty() && run.errors.contains(output.value(0)), qPrintable(run.errors));
        } else {
            QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors));
            // The help is known by its opening lines, after the one naming the program.
            QCOMPARE(arguments.contains("--help") ? run.lines.mid(1, output.size()) : run.lines, output);
        }
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

private:
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
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A script on a server: no display, and nothing that picks a window system for Qt.
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KAPPWERK_BINARY), arguments);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        qWarning() << "kappwerk did not end normally:" << process.readAllStandardError();
        return result;
    }
    result.status = process.exitCode();
    // Windows ends the lines of text output with "\r\n".
    result.lines = list(QString::fromUtf8(process.readAllStandardOutput()).remove(u'\r'), u'\n');
    result.errors = QString::fromUtf8(process.readAllStandardError());
    // The command line only ever reads the stored options.
    QFile settings(settingsFile());
    if (!settings.open(QIODevice::ReadOnly) || settings.readAll() != StoredOptions
        || QFileInfo(settingsFile()).lastModified() != settingsBefore.lastModified()
        || QDir(m_home->filePath(QStringLiteral("config/Kappwerk"))).count() != 3) {
        qWarning() << "the stored options were touched by" << arguments;
        result.status = -2;
    }
    return result;
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
