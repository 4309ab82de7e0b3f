#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include "engine/batchrun.h"
#include "engine/filescopy.h"
#include "engine/namerules.h"
#include "engine/platformfs.h"

Q_DECLARE_METATYPE(RenameOptions)

namespace {

enum Mode { InPlace, IntoMobix, Beside };

// Cuts to length, or numbers by pattern when one is given.
RenameOptions options(Mode mode, int length, const QString &pattern = {}, bool special = false)
{
    return {.CutAfterLength = pattern.isEmpty(), .Rename = !pattern.isEmpty(), .MaxFileLength = length,
            .NewFilename = pattern, .Special = special, .Subdirectory = mode == IntoMobix,
            .Overwrite = mode == InPlace};
}

// A folder laid out in list order: "name" is a listed file, "-name" is on disk but not listed,
// "!name" is listed but gone, "|name" a listed pipe, "~name" listed under its Latin-1 bytes,
// "a->b" a link and "a=>b" a hard link.
struct Folder {
    QTemporaryDir dir;
    std::vector<BatchEntry> entries;
    QHash<QByteArray, QString> origins;

    Folder(const QStringList &names, const QString &ticks)
    {
        for (QString name : names) {
            const QChar kind = name.front();
            if (QStringLiteral("-!|~").contains(kind))
                name.remove(0, 1);
            const bool hard = name.contains("=>");
            const QStringList parts = name.split(hard ? "=>" : "->");
            const NativeName native = kind == '~' ? parts[0].toLatin1() : QFile::encodeName(parts[0]);
            const QByteArray at = QFile::encodeName(path()) + native;
            QDir(dir.path()).mkpath(QFileInfo(parts[0]).path());
            if (parts.size() > 1)
                QVERIFY((hard ? ::link(QFile::encodeName(path() + parts[1]).constData(), at.constData())
                              : ::symlink(QFile::encodeName(parts[1]).constData(), at.constData())) == 0);
            else if (kind == '|')
                QVERIFY(::mkfifo(at.constData(), 0644) == 0);
            else if (kind != '!')
                QVERIFY(write(at, parts[0]));
            if (kind != '-')
                entries.push_back({decodeNativeName(native), QFileInfo(parts[0]).suffix(), native,
                                   ticks.at(qsizetype(entries.size())) == 'x'});
        }
    }

    // Writes bytes that tell which original they come from, by native path.
    bool write(const QByteArray &path, const QString &name)
    {
        const QByteArray bytes = (name.toUtf8() + '\n').repeated(3000);
        origins.insert(bytes, name);
        QFile file;
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        return file.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle) && file.write(bytes) == bytes.size();
    }

    QString path() const { return dir.path() + '/'; }

    // Every name in the folder and below, with the original whose bytes it holds ("==" when it
    // shares them through a hard link).
    QStringList state(const QString &sub = QString()) const
    {
        QStringList result;
        for (const QString &entry : QDir(path() + sub).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                                 | QDir::NoDotAndDotDot)) {
            const QString name = sub + entry;
            struct stat st = {};
            ::lstat(QFile::encodeName(path() + name).constData(), &st);
            QFile file(path() + name);
            if (S_ISLNK(st.st_mode))
                result << name + "->" + file.symLinkTarget().section('/', -1);
            else if (S_ISDIR(st.st_mode))
                result << name + '/' << state(name + '/');
            else if (S_ISREG(st.st_mode) && file.open(QIODevice::ReadOnly))
                result << name + (st.st_nlink > 1 ? "==" : "=") + origins.value(file.readAll(), "?");
            else
                result << name + '|';
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
    void cleanup();
    void run_data();
    void run();
    void progressNumberingAndFacts();
    void newNameIsAName();
};

void TestBatchRun::cleanup()
{
    setCopyWriteLimitForTest(-1);
    setRenameByLinkForTest(false);
    setBeforePublishForTest({});
    setCopyMethodForTest(CopyMethod::Fastest);
}

void TestBatchRun::run_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<RenameOptions>("options");
    QTest::addColumn<QString>("seam"); // "full" disk, rename by "link", "late" file, folder "gone"
    QTest::addColumn<QStringList>("expected");
    const QString s = "Schubert - Ständchen.mp3";
    const auto kept = [](const QString &name) { return name + '=' + name; };
    QTest::newRow("cut to 8 beside") << QStringList{s} << "x" << options(Beside, 8) << ""
                                     << QStringList{kept(s), "Schubert.mp3=" + s};
    QTest::newRow("cut to 8 in place") << QStringList{s} << "x" << options(InPlace, 8) << ""
                                       << QStringList{"Schubert.mp3=" + s};
    QTest::newRow("cut to 8 into a new MOBIX") << QStringList{s} << "x" << options(IntoMobix, 8) << ""
                                               << QStringList{"MOBIX/", "MOBIX/Schubert.mp3=" + s, kept(s)};
    QTest::newRow("numbering skips unticked") << QStringList{"a.mp3", "x.mp3", "b.wav", "c.mp3"} << "x.xx"
        << options(InPlace, 30, "%# - Dateiname", true) << "" << QStringList{"1 - Dateiname.mp3=a.mp3",
           "2 - Dateiname.wav=b.wav", "3 - Dateiname.mp3=c.mp3", kept("x.mp3")};
    QTest::newRow("removal") << QStringList{"Grüße.MP3", "äöü.mp3"} << "xx" << options(InPlace, 30, {}, true)
                             << "" << QStringList{"Gre.MP3=Grüße.MP3", ".mp3=äöü.mp3"};
    QTest::newRow("only the last dot; no dot gets none") << QStringList{"live.at.home.mp3", "README"} << "xx"
        << options(InPlace, 4) << "" << QStringList{"live.mp3=live.at.home.mp3", "READ=README"};
    // A rename never replaces: not a file another ticked file got first, not a dangling link.
    const QStringList taken{"ab 1.mp3", "ab 2.mp3", "-ab.wav->gone.wav", "ab 3.wav", "-real", "cd 1.mp3->real"};
    const QStringList stays{"ab.mp3=ab 1.mp3", kept("ab 2.mp3"), "ab.wav->gone.wav", kept("ab 3.wav"),
                            kept("real"), "cd.mp3->real"};
    QTest::newRow("rename never replaces") << taken << "xxxx" << options(InPlace, 2) << "" << stays;
    QTest::newRow("rename by link never replaces") << taken << "xxxx" << options(InPlace, 2) << "link" << stays;
    // A copy beside the originals never replaces one, not even one that appears during the copy.
    QTest::newRow("beside onto a ticked file") << QStringList{"a - x.mp3", "a.mp3"} << "xx"
        << options(Beside, 1) << "" << QStringList{kept("a - x.mp3"), kept("a.mp3")};
    QTest::newRow("beside onto a late file") << QStringList{s} << "x" << options(Beside, 8) << "late"
                                             << QStringList{kept(s), "Schubert.mp3=late"};
    // A copy into MOBIX refreshes an older one there, and copies the file a link leads to.
    QTest::newRow("MOBIX copy refreshes") << QStringList{s, "-MOBIX/Schubert.mp3", "-real", "cd 1.mp3->real"}
        << "xx" << options(IntoMobix, 8) << "" << QStringList{"MOBIX/", "MOBIX/Schubert.mp3=" + s, kept(s),
           "MOBIX/cd 1.mp3=real", "cd 1.mp3->real", kept("real")};
    QTest::newRow("full disk keeps the older copy") << QStringList{s, "-MOBIX/Schubert.mp3"} << "x"
        << options(IntoMobix, 8) << "full" << QStringList{"MOBIX/", kept("MOBIX/Schubert.mp3"), kept(s)};
    QTest::newRow("never onto itself") << QStringList{"a.mp3", "-MOBIX/a.mp3=>a.mp3"} << "x"
        << options(IntoMobix, 9) << "" << QStringList{"MOBIX/", "MOBIX/a.mp3==a.mp3", "a.mp3==a.mp3"};
    // "café" in Latin-1 is shown as "caf\uFFFD", whose UTF-8 names another file.
    QTest::newRow("source by its native name") << QStringList{"~café live.mp3", "-caf\uFFFD live.mp3"} << "x"
        << options(InPlace, 3) << "" << QStringList{"caf.mp3=café live.mp3", kept("caf\uFFFD live.mp3")};
    QTest::newRow("a new name is never a path") << QStringList{"a.mp3", "-sub/keep"} << "x"
        << options(InPlace, 3, "sub/%#") << "" << QStringList{kept("a.mp3"), "sub/", kept("sub/keep")};
    QTest::newRow("failures skipped") << QStringList{"!gone", "|pipe", "ok.mp3"} << "xxx"
        << options(IntoMobix, 1) << "" << QStringList{"MOBIX/", "MOBIX/o.mp3=ok.mp3", kept("ok.mp3"), "pipe|"};
    QTest::newRow("MOBIX is a file") << QStringList{"a.mp3", "-MOBIX"} << "x" << options(IntoMobix, 30) << ""
                                     << QStringList{kept("MOBIX"), kept("a.mp3")};
    QTest::newRow("folder gone") << QStringList{"a.mp3"} << "x" << options(IntoMobix, 1) << "gone"
                                 << QStringList();
}

void TestBatchRun::run()
{
    QFETCH(QStringList, names);
    QFETCH(QString, ticks);
    QFETCH(RenameOptions, options);
    QFETCH(QString, seam);
    QFETCH(QStringList, expected);
    Folder folder(names, ticks);
    setCopyWriteLimitForTest(seam == "full" ? 1000 : -1);
    setRenameByLinkForTest(seam == "link");
    if (seam == "late")
        setBeforePublishForTest([&](const NativeName &target) { folder.write(target, "late"); });
    if (seam == "gone")
        QVERIFY(folder.dir.remove());
    CutFiles(folder.entries, options, folder.path(), {});
    expected.sort();
    QCOMPARE(folder.state(), expected);
}

void TestBatchRun::progressNumberingAndFacts()
{
    Folder folder({"a.mp3", "b.mp3", "c.mp3", "d.mp3"}, "...x");
    const QByteArray last = QFile::encodeName(folder.path() + "d.mp3");
    const struct timespec times[2] = {{1000000000, 0}, {1200000000, 987654321}};
    QVERIFY(::chmod(last.constData(), 0640) == 0 && ::utimensat(AT_FDCWD, last.constData(), times, 0) == 0);
    const RenameOptions numbered = options(IntoMobix, 30, "%#");
    QList<float> values;
    setCopyMethodForTest(CopyMethod::SendFile); // the slower ways a file system may force
    CutFiles(folder.entries, numbered, folder.path(), [&](float value) { values << value; });
    QCOMPARE(values, (QList<float>{0.0001f, 25, 50, 75, 100}));
    QVERIFY(folder.state().contains("MOBIX/1.mp3=d.mp3"));
    struct stat st = {};
    QVERIFY(::stat(QFile::encodeName(folder.path() + "MOBIX/1.mp3").constData(), &st) == 0);
    QCOMPARE(st.st_mode & 07777, 0640u);
    QCOMPARE(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, 1200000000987654321LL);
    // A second run numbers from 1 again.
    folder.entries[0].selected = true;
    setCopyMethodForTest(CopyMethod::ReadWrite);
    CutFiles(folder.entries, numbered, folder.path(), {});
    QCOMPARE(folder.state(), (QStringList{"MOBIX/", "MOBIX/1.mp3=a.mp3", "MOBIX/2.mp3=d.mp3", "a.mp3=a.mp3",
                                          "b.mp3=b.mp3", "c.mp3=c.mp3", "d.mp3=d.mp3"}));
}

void TestBatchRun::newNameIsAName()
{
    for (const QString &name : QStringList{"", ".", "..", "../a.mp3", QString("a") + QChar(0)})
        QVERIFY2(!isPlainFileName(name), qPrintable(name));
    QVERIFY(isPlainFileName(".mp3"));
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "test_batchrun.moc"
