#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "engine/batchrun.h"
#include "engine/namerules.h"
#include "engine/platformfs.h"

Q_DECLARE_METATYPE(RenameOptions)

namespace {

enum Mode { InPlace, IntoMobix, Beside };

RenameOptions cutOptions(Mode mode, int length, bool special = false)
{
    RenameOptions options;
    options.MaxFileLength = length;
    options.Special = special;
    options.Overwrite = mode == InPlace;
    options.Subdirectory = mode == IntoMobix;
    return options;
}

RenameOptions numberOptions(Mode mode, const QString &pattern = QStringLiteral("%# - Dateiname"), bool special = true)
{
    RenameOptions options = cutOptions(mode, 30, special);
    options.CutAfterLength = false;
    options.Rename = true;
    options.NewFilename = pattern;
    return options;
}

QByteArray contentFor(const QString &name)
{
    QByteArray bytes = name.toUtf8() + '\n';
    QRandomGenerator generator(qHash(name));
    while (bytes.size() < 70000)
        bytes += char(generator.bounded(256));
    return bytes;
}

// A folder laid out from a list of names in list order: "name" is a listed file, "-name" is on
// disk but not listed, "!name" is listed but gone, "|name" a listed pipe, "a->b" a link.
struct Folder {
    QTemporaryDir dir;
    std::vector<BatchEntry> entries;
    QHash<QByteArray, QString> origins;

    Folder(const QStringList &names, const QString &ticks)
    {
        for (qsizetype i = 0; i < names.size(); ++i) {
            QString name = names[i];
            const QChar kind = name.front();
            if (QStringLiteral("-!|").contains(kind))
                name.remove(0, 1);
            const qsizetype arrow = name.indexOf("->");
            const QString fileName = arrow < 0 ? name : name.left(arrow);
            const QString path = dir.filePath(fileName);
            QDir().mkpath(QFileInfo(path).path());
            if (arrow >= 0)
                ::symlink(QFile::encodeName(name.mid(arrow + 2)).constData(), QFile::encodeName(path).constData());
            else if (kind == '|')
                ::mkfifo(QFile::encodeName(path).constData(), 0644);
            else if (kind != '!')
                writeFile(path, fileName);
            if (kind == '-')
                continue;
            const qsizetype dot = fileName.lastIndexOf('.');
            entries.push_back({fileName, dot < 0 ? QString() : fileName.mid(dot + 1),
                               QFile::encodeName(fileName), ticks.at(qsizetype(entries.size())) == 'x'});
        }
    }

    void writeFile(const QString &path, const QString &name)
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(contentFor(name));
        origins.insert(contentFor(name), name);
    }

    QString path() const { return dir.path() + '/'; }

    // Every name in the folder and below, with the original whose bytes it holds.
    QStringList state(const QString &sub = QString()) const
    {
        QStringList result;
        const QDir folder(dir.filePath(sub));
        for (const QFileInfo &info : folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                          | QDir::NoDotAndDotDot)) {
            const QString name = sub + info.fileName();
            if (info.isSymLink()) {
                result << name + "->" + info.symLinkTarget().section('/', -1);
            } else if (info.isDir()) {
                result << name + '/' << state(name + '/');
            } else if (info.isFile()) {
                QFile file(info.filePath());
                file.open(QIODevice::ReadOnly);
                result << name + '=' + origins.value(file.readAll(), QStringLiteral("?"));
            } else {
                result << name + "|";
            }
        }
        result.sort();
        return result;
    }
};

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setCopyWriteLimitForTest(-1); }
    void anySelected_data();
    void anySelected();
    void run_data();
    void run();
    void progressAndNumbering();
    void copyOntoItselfChangesNothing_data();
    void copyOntoItselfChangesNothing();
    void sourceIsTheListedFile();
    void vanishedFolder();
};

void TestBatchRun::anySelected_data()
{
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<bool>("expected");
    QTest::newRow("empty list") << "" << false;
    QTest::newRow("none ticked") << "..." << false;
    QTest::newRow("last ticked") << "..x" << true;
}

void TestBatchRun::anySelected()
{
    QFETCH(QString, ticks);
    QFETCH(bool, expected);
    std::vector<BatchEntry> entries;
    for (QChar tick : ticks)
        entries.push_back({QStringLiteral("a.mp3"), QStringLiteral("mp3"), "a.mp3", tick == 'x'});
    QCOMPARE(AnySelected(entries), expected);
}

void TestBatchRun::run_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<RenameOptions>("options");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("expected");
    const QString schubert = QStringLiteral("Schubert - Ständchen.mp3");
    QTest::newRow("cut to 8 beside") << QStringList{schubert} << "x" << cutOptions(Beside, 8) << -1
                                     << QStringList{schubert + '=' + schubert, "Schubert.mp3=" + schubert};
    QTest::newRow("cut to 8 in place") << QStringList{schubert} << "x" << cutOptions(InPlace, 8) << -1
                                       << QStringList{"Schubert.mp3=" + schubert};
    QTest::newRow("cut to 8 into new MOBIX") << QStringList{schubert} << "x" << cutOptions(IntoMobix, 8) << -1
                                             << QStringList{"MOBIX/", "MOBIX/Schubert.mp3=" + schubert, schubert + '=' + schubert};
    QTest::newRow("numbering skips unticked")
        << QStringList{"a.mp3", "x.mp3", "b.wav", "c.mp3"} << "x.xx" << numberOptions(InPlace) << -1
        << QStringList{"1 - Dateiname.mp3=a.mp3", "2 - Dateiname.wav=b.wav", "3 - Dateiname.mp3=c.mp3", "x.mp3=x.mp3"};
    QTest::newRow("removal keeps the extension's case") << QStringList{QStringLiteral("Grüße.MP3")} << "x"
        << cutOptions(InPlace, 30, true) << -1 << QStringList{QStringLiteral("Gre.MP3=Grüße.MP3")};
    QTest::newRow("everything removed") << QStringList{QStringLiteral("äöü.mp3")} << "x"
        << cutOptions(InPlace, 30, true) << -1 << QStringList{QStringLiteral(".mp3=äöü.mp3")};
    QTest::newRow("only the last dot") << QStringList{"live.at.home.mp3"} << "x" << cutOptions(InPlace, 4) << -1
                                       << QStringList{"live.mp3=live.at.home.mp3"};
    QTest::newRow("neither mode touches nothing") << QStringList{"a.mp3"} << "x"
        << [] { RenameOptions o = cutOptions(InPlace, 0); o.CutAfterLength = false; return o; }() << -1
        << QStringList{"a.mp3=a.mp3"};
    // A rename never replaces a file: not one that is there before (or appears during the
    // run), not one a ticked file got earlier in the run, not a dangling link.
    QTest::newRow("rename onto an existing file") << QStringList{schubert, "-Schubert.mp3"} << "x"
        << cutOptions(InPlace, 8) << -1 << QStringList{schubert + '=' + schubert, "Schubert.mp3=Schubert.mp3"};
    QTest::newRow("same new name, first wins") << QStringList{"ab 1.mp3", "ab 2.mp3"} << "xx"
        << cutOptions(InPlace, 2) << -1 << QStringList{"ab 2.mp3=ab 2.mp3", "ab.mp3=ab 1.mp3"};
    QTest::newRow("rename onto a dangling link") << QStringList{schubert, "-Schubert.mp3->gone.mp3"} << "x"
        << cutOptions(InPlace, 8) << -1 << QStringList{schubert + '=' + schubert, "Schubert.mp3->gone.mp3"};
    QTest::newRow("a link is renamed as a link") << QStringList{"-real.mp3", "link to it.mp3->real.mp3"} << "x"
        << cutOptions(InPlace, 4) << -1 << QStringList{"link.mp3->real.mp3", "real.mp3=real.mp3"};
    // A copy beside the originals never replaces one, but a copy into MOBIX refreshes.
    QTest::newRow("beside onto an existing file") << QStringList{schubert, "-Schubert.mp3"} << "x"
        << cutOptions(Beside, 8) << -1 << QStringList{schubert + '=' + schubert, "Schubert.mp3=Schubert.mp3"};
    QTest::newRow("beside onto a ticked file") << QStringList{"a - x.mp3", "a.mp3"} << "xx"
        << cutOptions(Beside, 1) << -1 << QStringList{"a - x.mp3=a - x.mp3", "a.mp3=a.mp3"};
    QTest::newRow("MOBIX copy refreshes") << QStringList{schubert, "-MOBIX/Schubert.mp3"} << "x"
        << cutOptions(IntoMobix, 8) << -1 << QStringList{"MOBIX/", "MOBIX/Schubert.mp3=" + schubert, schubert + '=' + schubert};
    QTest::newRow("copy of a link copies its file") << QStringList{"-real.mp3", "link to it.mp3->real.mp3"} << "x"
        << cutOptions(IntoMobix, 4) << -1
        << QStringList{"MOBIX/", "MOBIX/link.mp3=real.mp3", "link to it.mp3->real.mp3", "real.mp3=real.mp3"};
    // A failed copy (here a full disk) keeps the older copy and leaves no partial file.
    QTest::newRow("full disk keeps the older copy") << QStringList{schubert, "-MOBIX/Schubert.mp3"} << "x"
        << cutOptions(IntoMobix, 8) << 1000 << QStringList{"MOBIX/", "MOBIX/Schubert.mp3=MOBIX/Schubert.mp3", schubert + '=' + schubert};
    QTest::newRow("full disk beside") << QStringList{schubert} << "x" << cutOptions(Beside, 8) << 0
                                      << QStringList{schubert + '=' + schubert};
    // A new name is a name, never a path.
    QTest::newRow("slash into a subfolder") << QStringList{"a.mp3", "-sub/keep.txt"} << "x"
        << numberOptions(InPlace, "sub/%#", false) << -1 << QStringList{"a.mp3=a.mp3", "sub/", "sub/keep.txt=sub/keep.txt"};
    QTest::newRow("out of MOBIX onto an original") << QStringList{"a.mp3", "-1.mp3", "-MOBIX/x.txt"} << "x"
        << numberOptions(IntoMobix, "../%#", false) << -1
        << QStringList{"1.mp3=1.mp3", "MOBIX/", "MOBIX/x.txt=MOBIX/x.txt", "a.mp3=a.mp3"};
    QTest::newRow("NUL cuts no name short") << QStringList{"a.mp3"} << "x"
        << numberOptions(InPlace, QString("x%#") + QChar(0) + "y", false) << -1 << QStringList{"a.mp3=a.mp3"};
    QTest::newRow("empty name") << QStringList{"abc"} << "x" << cutOptions(Beside, 0) << -1 << QStringList{"abc=abc"};
    QTest::newRow("dot name") << QStringList{"a."} << "x" << cutOptions(IntoMobix, 0) << -1 << QStringList{"a.=a."};
    // A name without a dot is its own base name and gets no dot.
    QTest::newRow("no dot, in place") << QStringList{"README"} << "x" << cutOptions(InPlace, 3) << -1 << QStringList{"REA=README"};
    QTest::newRow("no dot, numbered") << QStringList{"README"} << "x" << numberOptions(Beside, "Text %#", false) << -1
                                      << QStringList{"README=README", "Text 1=README"};
    QTest::newRow("ends in a dot") << QStringList{"abc."} << "x" << cutOptions(InPlace, 1) << -1 << QStringList{"a.=abc."};
    // Failures are skipped silently and the run goes on.
    QTest::newRow("vanished and pipe sources") << QStringList{"!gone.mp3", "|pipe.mp3", "ok.mp3"} << "xxx"
        << cutOptions(IntoMobix, 1) << -1 << QStringList{"MOBIX/", "MOBIX/o.mp3=ok.mp3", "ok.mp3=ok.mp3", "pipe.mp3|"};
    QTest::newRow("MOBIX is a file") << QStringList{"a.mp3", "-MOBIX"} << "x" << cutOptions(IntoMobix, 30) << -1
                                     << QStringList{"MOBIX=MOBIX", "a.mp3=a.mp3"};
    QTest::newRow("MOBIX is a dangling link") << QStringList{"a.mp3", "-MOBIX->gone"} << "x" << cutOptions(IntoMobix, 30) << -1
                                              << QStringList{"MOBIX->gone", "a.mp3=a.mp3"};
}

void TestBatchRun::run()
{
    QFETCH(QStringList, names);
    QFETCH(QString, ticks);
    QFETCH(RenameOptions, options);
    QFETCH(int, limit);
    QFETCH(QStringList, expected);
    Folder folder(names, ticks);
    setCopyWriteLimitForTest(limit);
    CutFiles(folder.entries, options, folder.path(), {});
    QCOMPARE(folder.state(), expected);
}

void TestBatchRun::progressAndNumbering()
{
    Folder folder({"a.mp3", "b.mp3", "c.mp3", "d.mp3"}, "...x");
    QList<float> values;
    const RenameOptions options = numberOptions(IntoMobix);
    CutFiles({}, options, folder.path(), [&](float value) { values << value; });
    QVERIFY(values.isEmpty());
    CutFiles(folder.entries, options, folder.path(), [&](float value) { values << value; });
    QCOMPARE(values, (QList<float>{0.0001f, 25, 50, 75, 100}));
    folder.entries[0].selected = true;
    CutFiles(folder.entries, options, folder.path(), {});
    QCOMPARE(NextNumber, 3);
    QCOMPARE(folder.state(), (QStringList{"MOBIX/", "MOBIX/1 - Dateiname.mp3=a.mp3", "MOBIX/2 - Dateiname.mp3=d.mp3",
                                          "a.mp3=a.mp3", "b.mp3=b.mp3", "c.mp3=c.mp3", "d.mp3=d.mp3"}));
}

void TestBatchRun::copyOntoItselfChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("hard link in MOBIX") << "hard link";
    QTest::newRow("link in MOBIX") << "link";
}

void TestBatchRun::copyOntoItselfChangesNothing()
{
    QFETCH(QString, kind);
    Folder folder({"a.mp3"}, "x");
    QDir(folder.path()).mkdir("MOBIX");
    const QByteArray source = QFile::encodeName(folder.path() + "a.mp3");
    const QByteArray copy = QFile::encodeName(folder.path() + "MOBIX/a.mp3");
    if (kind == "hard link")
        QVERIFY(::link(source.constData(), copy.constData()) == 0);
    else
        QVERIFY(::symlink(source.constData(), copy.constData()) == 0);
    struct stat before, after;
    QVERIFY(::lstat(copy.constData(), &before) == 0);
    CutFiles(folder.entries, cutOptions(IntoMobix, 30), folder.path(), {});
    QVERIFY(::lstat(copy.constData(), &after) == 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(folder.state().first(), "MOBIX/");
}

void TestBatchRun::sourceIsTheListedFile()
{
    // "caf\xe9" is Latin-1, not UTF-8: shown as "caf\uFFFD", whose UTF-8 is the decoy's name.
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path() + '/');
    const QByteArray listed = "caf\xe9 live.mp3";
    const QString shown = decodeNativeName(listed);
    const QByteArray decoy = encodeNativeName(shown);
    QVERIFY(decoy != listed);
    for (const QByteArray &name : {listed, decoy}) {
        const int fd = ::open((folder + name).constData(), O_CREAT | O_EXCL | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        const QByteArray content = "bytes of " + name;
        QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
        ::close(fd);
    }
    const std::vector<BatchEntry> entries{{shown, QStringLiteral("mp3"), listed, true}};
    CutFiles(entries, cutOptions(InPlace, 3), dir.path() + '/', {});

    QFile renamed(dir.filePath("caf.mp3"));
    QVERIFY(renamed.open(QIODevice::ReadOnly));
    QCOMPARE(renamed.readAll(), "bytes of " + listed);
    QVERIFY(::access((folder + listed).constData(), F_OK) != 0);
    QFile kept(QFile::decodeName(folder + decoy));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), "bytes of " + decoy);
}

void TestBatchRun::vanishedFolder()
{
    QString path;
    std::vector<BatchEntry> entries;
    {
        Folder folder({"a.mp3", "b.mp3"}, "xx");
        path = folder.path();
        entries = folder.entries;
    }
    QList<float> values;
    for (Mode mode : {InPlace, IntoMobix, Beside})
        CutFiles(entries, cutOptions(mode, 1), path, [&](float value) { values << value; });
    QCOMPARE(values.last(), 100.0f);
    QVERIFY(!QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "test_batchrun.moc"
