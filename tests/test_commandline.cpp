// The command line run as a child process, the way a script runs it: no display, no platform
// plugin chosen, a settings file of its own that must come out of every run unchanged.
#include <QDateTime>
#include <QDir>
#include <QFile>
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

void runRow(const char *name, const QString &files, const QString &options, const QString &lines, int status,
            const QString &after)
{
    QTest::newRow(name) << list(files) << list(options) << list(lines, u'\n') << status << list(after);
}

// "@" stands for the folder, "@/name" for a path in it.
void statusRow(const char *name, const char *arguments, int status, const char *output, const char *error)
{
    QTest::newRow(name) << list(arguments, u' ') << status << QString(output) << QString(error);
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
    void dryRunMatchesRun_data()
    {
        columns<QStringList, QStringList, QStringList, int, QStringList>("files", "options", "lines", "status", "after");
        const QString s = QStringLiteral("Schubert - Ständchen.mp3"), taken = "\tübersprungen: Name schon vergeben";
        runRow("rename in place", s + ",Grüße.mp3,cover.jpg", "--rename,--cut,8",
               "Grüße.mp3\tGre.mp3\tumbenannt\n" + s + "\tSchubert.mp3\tumbenannt", 0,
               "Gre.mp3=Grüße.mp3,Schubert.mp3=" + s + ",cover.jpg");
        runRow("copy into MOBIX by default", s, "", s + "\tSchubert - Stndchen.mp3\tkopiert", 0,
               "MOBIX/,MOBIX/Schubert - Stndchen.mp3=" + s + ',' + s);
        runRow("copy beside", "Grüße aus Köln.mp3", "--beside,--cut,8,--keep",
               "Grüße aus Köln.mp3\tGrüße au.mp3\tkopiert", 0, "Grüße au.mp3=Grüße aus Köln.mp3,Grüße aus Köln.mp3");
        runRow("numbering under a filter", "b.wav,a.wav,c.mp3", "--rename,--number,Lied %#,--filter,*.wav,--keep",
               "a.wav\tLied 1.wav\tumbenannt\nb.wav\tLied 2.wav\tumbenannt", 0, "Lied 1.wav=a.wav,Lied 2.wav=b.wav,c.mp3");
        runRow("a name collision", "ab 1.mp3,ab 2.mp3", "--rename,--cut,2",
               "ab 1.mp3\tab.mp3\tumbenannt\nab 2.mp3\tab.mp3" + taken, 1, "ab 2.mp3,ab.mp3=ab 1.mp3");
        runRow("an existing file in the way", "ab.mp3/,ab 1.mp3,cd 1.mp3", "--beside,--cut,2",
               "ab 1.mp3\tab.mp3" + taken + "\ncd 1.mp3\tcd.mp3\tkopiert", 1, "ab 1.mp3,ab.mp3/,cd 1.mp3,cd.mp3=cd 1.mp3");
        runRow("a name that is no name", "a.mp3,b.mp3", "--rename,--number,sub/%#,--keep,--filter,*.mp3",
               "a.mp3\tsub/1.mp3\tübersprungen: Name nicht erlaubt\nb.mp3\tsub/2.mp3\tübersprungen: Name nicht erlaubt",
               1, "a.mp3,b.mp3");
        // The stored options count only with --settings, and an option given still wins.
        runRow("stored options", "x.wav,y.mp3", "--settings", "x.wav\tLied 1.wav\tumbenannt", 0, "Lied 1.wav=x.wav,y.mp3");
        runRow("stored options, one given", "x.wav,y.mp3", "--settings,--beside,--number,%#", "x.wav\t1.wav\tkopiert", 0,
               "1.wav=x.wav,x.wav,y.mp3");
        runRow("nothing listed", "cover.jpg", "", "", 0, "cover.jpg");
    }
    // The dry run tells what the run does. --undo then takes the run back, the last file first:
    // the old names and bytes come back, copies go; a second --undo finds nothing to take back.
    void dryRunMatchesRun()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, options);
        QFETCH(QStringList, lines);
        QFETCH(int, status);
        QFETCH(QStringList, after);
        makeFiles(files);
        const QStringList before = state();
        const Result dryRun = kappwerk(QStringList{"--dry-run"} + options + QStringList{folder()});
        QCOMPARE(state(), before);
        const Result run = kappwerk(QStringList{"--run"} + options + QStringList{folder()});
        QCOMPARE(dryRun.lines, run.lines);
        QCOMPARE(dryRun.status, run.status);
        QCOMPARE(run.lines, lines);
        QCOMPARE(run.status, status);
        QCOMPARE(state(), after);
        QStringList undoLines;
        for (const QString &line : lines) {
            const QStringList part = line.split(u'\t');
            if (part[2] == "umbenannt" || part[2] == "kopiert")
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
    void exitStatus_data()
    {
        // The arguments, the exit status, and a text that standard output and standard error hold.
        columns<QStringList, int, QString, QString>("arguments", "status", "output", "error");
        statusRow("every file done", "--run @", 0, "a.mp3\ta.mp3\tkopiert", "");
        statusRow("empty folder", "--run @/empty", 0, "", "");
        statusRow("length 0", "--run --cut 0 @", 2, "", "zwischen 1 und 99 Zeichen");
        statusRow("length 100", "--dry-run --cut 100 @", 2, "", "zwischen 1 und 99 Zeichen");
        statusRow("length not a number", "--run --cut acht @", 2, "", "zwischen 1 und 99 Zeichen");
        statusRow("unknown filter entry", "--run --filter *.ogg @", 2, "", "„*.mp3“");
        statusRow("folder missing", "--run @/missing", 2, "", "kein Ordner");
        statusRow("a file, not a folder", "--run @/a.mp3", 2, "", "kein Ordner");
        statusRow("no folder", "--run", 2, "", "ORDNER");
        statusRow("no mode", "--cut 5 @", 2, "", "--dry-run");
        statusRow("two modes", "--run --dry-run @", 2, "", "--dry-run");
        statusRow("two ways of writing", "--run --rename --beside @", 2, "", "--rename");
        statusRow("cut and number", "--run --cut 5 --number %# @", 2, "", "--number");
        statusRow("unknown option", "--run --fast @", 2, "", "fast");
        statusRow("help", "--help", 0, "--dry-run", "");
        statusRow("version", "--version", 0, "0.3.0", "");
    }
    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, error);
        makeFiles({"a.mp3", "empty/"});
        const QStringList before = state();
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^@")), folder());
        const Result result = kappwerk(arguments);
        QCOMPARE(result.status, status);
        QVERIFY2(result.lines.join(QLatin1Char('\n')).contains(output), qPrintable(result.lines.join('\n')));
        QVERIFY2(result.errors.contains(error), qPrintable(result.errors));
        QCOMPARE(result.errors.isEmpty(), error.isEmpty());
        if (status != 0)
            QCOMPARE(state(), before);
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
    result.lines = list(QString::fromUtf8(process.readAllStandardOutput()), u'\n');
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
