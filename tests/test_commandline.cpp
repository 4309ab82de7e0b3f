// The command line run as a child process, the way a script runs it: no display, no platform
// plugin chosen, a settings file of its own that must come out of every run unchanged.
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    int status = -1;
    QStringList lines;
    QString errors;
};

// Stored options far from the first-run defaults: numbered names, renamed in place, characters
// kept, only "*.wav" listed.
const QByteArray StoredOptions = "[Optionen]\n"
                                 "Extension.ListIndex=11\n"
                                 "CutAfterLength.Value=false\n"
                                 "Rename.Value=true\n"
                                 "MaxFileLength.Text=5\n"
                                 "NewFilename.Text=Lied %#\n"
                                 "Overwrite.Value=1\n"
                                 "Subdirectory.Value=1\n"
                                 "Subdirectory.Enabled=false\n"
                                 "Special.Value=0\n";

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
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("after");
        const QString s = QStringLiteral("Schubert - Ständchen.mp3");
        QTest::newRow("rename in place") << QStringList{s, "Grüße.mp3", "cover.jpg"}
            << QStringList{"--rename", "--cut", "8"}
            << QStringList{"Grüße.mp3\tGre.mp3\tumbenannt", s + "\tSchubert.mp3\tumbenannt"} << 0
            << QStringList{"Gre.mp3=Grüße.mp3", "Schubert.mp3=" + s, "cover.jpg"};
        QTest::newRow("copy into MOBIX by default") << QStringList{s}
            << QStringList{} << QStringList{s + "\tSchubert - Stndchen.mp3\tkopiert"} << 0
            << QStringList{"MOBIX/", "MOBIX/Schubert - Stndchen.mp3=" + s, s};
        QTest::newRow("copy beside") << QStringList{"Grüße aus Köln.mp3"}
            << QStringList{"--beside", "--cut", "8", "--keep"}
            << QStringList{"Grüße aus Köln.mp3\tGrüße au.mp3\tkopiert"} << 0
            << QStringList{"Grüße au.mp3=Grüße aus Köln.mp3", "Grüße aus Köln.mp3"};
        QTest::newRow("numbering under a filter") << QStringList{"b.wav", "a.wav", "c.mp3"}
            << QStringList{"--rename", "--number", "Lied %#", "--filter", "*.wav", "--keep"}
            << QStringList{"a.wav\tLied 1.wav\tumbenannt", "b.wav\tLied 2.wav\tumbenannt"} << 0
            << QStringList{"Lied 1.wav=a.wav", "Lied 2.wav=b.wav", "c.mp3"};
        QTest::newRow("a name collision") << QStringList{"ab 1.mp3", "ab 2.mp3"}
            << QStringList{"--rename", "--cut", "2"}
            << QStringList{"ab 1.mp3\tab.mp3\tumbenannt", "ab 2.mp3\tab.mp3\tübersprungen: Name schon vergeben"} << 1
            << QStringList{"ab 2.mp3", "ab.mp3=ab 1.mp3"};
        QTest::newRow("an existing file in the way") << QStringList{"ab.mp3/", "ab 1.mp3", "cd 1.mp3"}
            << QStringList{"--beside", "--cut", "2"}
            << QStringList{"ab 1.mp3\tab.mp3\tübersprungen: Name schon vergeben", "cd 1.mp3\tcd.mp3\tkopiert"} << 1
            << QStringList{"ab 1.mp3", "ab.mp3/", "cd 1.mp3", "cd.mp3=cd 1.mp3"};
        QTest::newRow("a name that is no name") << QStringList{"a.mp3", "b.mp3"}
            << QStringList{"--rename", "--number", "sub/%#", "--keep", "--filter", "*.mp3"}
            << QStringList{"a.mp3\tsub/1.mp3\tübersprungen: Name nicht erlaubt",
                           "b.mp3\tsub/2.mp3\tübersprungen: Name nicht erlaubt"} << 1 << QStringList{"a.mp3", "b.mp3"};
        // The stored options count only with --settings, and an option given still wins.
        QTest::newRow("stored options") << QStringList{"x.wav", "y.mp3"} << QStringList{"--settings"}
            << QStringList{"x.wav\tLied 1.wav\tumbenannt"} << 0 << QStringList{"Lied 1.wav=x.wav", "y.mp3"};
        QTest::newRow("stored options, one given") << QStringList{"x.wav", "y.mp3"}
            << QStringList{"--settings", "--beside", "--number", "%#"}
            << QStringList{"x.wav\t1.wav\tkopiert"} << 0 << QStringList{"1.wav=x.wav", "x.wav", "y.mp3"};
        QTest::newRow("nothing listed") << QStringList{"cover.jpg"} << QStringList{} << QStringList{} << 0
                                        << QStringList{"cover.jpg"};
    }
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
    }
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "@" stands for the folder, "@/name" for a path in it
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");        // a text that standard output holds
        QTest::addColumn<QString>("error");         // a text that standard error holds
        QTest::newRow("every file done") << QStringList{"--run", "@"} << 0 << "a.mp3\ta.mp3\tkopiert" << "";
        QTest::newRow("empty folder") << QStringList{"--run", "@/empty"} << 0 << "" << "";
        QTest::newRow("length 0") << QStringList{"--run", "--cut", "0", "@"} << 2 << ""
                                  << "zwischen 1 und 99 Zeichen";
        QTest::newRow("length 100") << QStringList{"--dry-run", "--cut", "100", "@"} << 2 << ""
                                    << "zwischen 1 und 99 Zeichen";
        QTest::newRow("length not a number") << QStringList{"--run", "--cut", "acht", "@"} << 2 << ""
                                             << "zwischen 1 und 99 Zeichen";
        QTest::newRow("unknown filter entry") << QStringList{"--run", "--filter", "*.ogg", "@"} << 2 << ""
                                              << "„*.mp3“";
        QTest::newRow("folder missing") << QStringList{"--run", "@/missing"} << 2 << "" << "kein Ordner";
        QTest::newRow("a file, not a folder") << QStringList{"--run", "@/a.mp3"} << 2 << "" << "kein Ordner";
        QTest::newRow("no folder") << QStringList{"--run"} << 2 << "" << "ORDNER";
        QTest::newRow("no mode") << QStringList{"--cut", "5", "@"} << 2 << "" << "--dry-run";
        QTest::newRow("two modes") << QStringList{"--run", "--dry-run", "@"} << 2 << "" << "--dry-run";
        QTest::newRow("two ways of writing") << QStringList{"--run", "--rename", "--beside", "@"} << 2 << ""
                                             << "--rename";
        QTest::newRow("cut and number") << QStringList{"--run", "--cut", "5", "--number", "%#", "@"} << 2 << ""
                                        << "--number";
        QTest::newRow("unknown option") << QStringList{"--run", "--fast", "@"} << 2 << "" << "fast";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--dry-run" << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "0.3.0" << "";
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
    // --undo takes back the last --run in the folder: the old names and bytes come back, copies go,
    // and a second --undo finds nothing to take back.
    void undo_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("renamed in place") << QStringList{"--rename", "--cut", "4"}
            << QStringList{"Lied.mp3\tLied zwei.mp3\tzurückbenannt", "Alte.mp3\tAlte Lieder.mp3\tzurückbenannt"};
        QTest::newRow("copies into MOBIX") << QStringList{"--cut", "4"}
            << QStringList{"MOBIX/Lied.mp3\tLied zwei.mp3\tentfernt", "MOBIX/Alte.mp3\tAlte Lieder.mp3\tentfernt"};
    }
    void undo()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, lines);
        makeFiles({"Alte Lieder.mp3", "Lied zwei.mp3"});
        const QStringList before = state();
        QCOMPARE(kappwerk(QStringList{"--run"} + options + QStringList{folder()}).status, 0);
        QVERIFY(state() != before);
        const Result undone = kappwerk({"--undo", folder()});
        QCOMPARE(undone.lines, lines);
        QCOMPARE(undone.status, 0);
        QStringList after = state();
        after.removeAll(QStringLiteral("MOBIX/"));
        QCOMPARE(after, before);
        QCOMPARE(kappwerk({"--undo", folder()}).status, 2);
    }

private:
    QString folder() const { return m_home->filePath(QStringLiteral("music")); }
    QString settingsFile() const { return m_home->filePath(QStringLiteral("config/Kappwerk/Kappwerk.conf")); }
    // "name" is a file holding its own name, "name/" a folder.
    void makeFiles(const QStringList &names) const;
    // Every name below the folder ("MOBIX/a.mp3"), with the original whose bytes it holds.
    QStringList state() const;
    Result kappwerk(const QStringList &arguments) const;

    std::unique_ptr<QTemporaryDir> m_home;
};

void TestCommandLine::makeFiles(const QStringList &names) const
{
    for (const QString &name : names) {
        if (name.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir(folder()).mkpath(name));
            continue;
        }
        QFile file(QDir(folder()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(name.toUtf8()) > 0);
    }
}

QStringList TestCommandLine::state() const
{
    QStringList names;
    QDirIterator it(folder(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QString name = QDir(folder()).relativeFilePath(path);
        QFile file(path);
        if (it.fileInfo().isDir())
            name += QLatin1Char('/');
        else if (file.open(QIODevice::ReadOnly)) {
            const QString origin = QString::fromUtf8(file.readAll());
            if (origin != name)
                name += QLatin1Char('=') + origin;
        }
        names << name;
    }
    names.sort();
    return names;
}

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
    result.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
