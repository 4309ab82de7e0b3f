// Batch runs on the media the program is made for, mounted inside the test: FAT and exFAT
// through FUSE (no no-replace rename, no hard links, no unnamed temporary files, names that
// ignore case), with tmpfs and ext4 beside them; and runs killed in the middle of a large copy.
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <QScopeGuard>
#include <QThread>

#include "engine/namecase.h"
#include "medium.h"
#include "runtable.h"
#include "selection/filelist.h"

namespace {

// Starts a run in a child process and, once it is under way and after meanwhile, sends it signal.
void killChild(const QStringList &arguments, int signal, const std::function<void()> &meanwhile)
{
    QProcess child;
    const auto stop = qScopeGuard([&] { child.kill(); child.waitForFinished(5000); });
    child.start(RUNCHILD, arguments);
    while (!child.readAllStandardOutput().contains("copying"))
        QVERIFY2(child.waitForReadyRead(30000), "the child never got under way");
    meanwhile();
    QVERIFY(::kill(pid_t(child.processId()), signal) == 0);
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
}

void addMediaRows(const char *kind, bool caseless)
{
    // Cut after 4: "Song - live.mp3" clashes with "SONG.MP3" only where case is ignored, "Take.mp3"
    // in MOBIX is an older copy to refresh, and the two "Wald" files want one name.
    const QStringList names{"Song - live.mp3", "Take - one.mp3", "Wald - Lied.wav", "Wald - Weg.wav"};
    const QStringList before{"SONG.MP3", "MOBIX/SONG.MP3", "MOBIX/Take.mp3"};
    const QStringList kept = QStringList{"MOBIX/"} + names + before;
    for (const Mode mode : {InPlace, Beside, IntoMobix}) {
        QStringList expected = kept, undone = kept;
        const QString to = mode == IntoMobix ? "MOBIX/" : "";
        if (!caseless)
            expected << to + "Song.mp3=Song - live.mp3";
        expected << to + "Wald.wav=Wald - Lied.wav" << to + "Take.mp3=Take - one.mp3";
        // Copying, the second "Wald" gets a name of its own.
        if (mode != InPlace)
            expected << to + "Wa 2.wav=Wald - Weg.wav";
        if (mode == InPlace)
            for (const char *moved : {"Take - one.mp3", "Wald - Lied.wav", caseless ? "" : "Song - live.mp3"})
                expected.removeAll(moved);
        // Undo takes all back but the older copy in MOBIX, which the run replaced.
        if (mode == IntoMobix) {
            expected.removeAll("MOBIX/Take.mp3");
            undone.removeAll("MOBIX/Take.mp3");
        }
        const QString done = mode == InPlace ? "r" : "c";
        QTest::addRow("%s, %s", kind, mode == InPlace ? "in place" : mode == Beside ? "beside" : "into MOBIX")
            << QString(kind) << names << before << options(mode, 4) << QString() << expected
            << (caseless ? "t" : done) + done + done + (mode == InPlace ? "t" : done) << undone
            << QString(mode == IntoMobix ? "MOBIX/Take.mp3: die ältere Datei in MOBIX lässt sich nicht wiederherstellen" : "");
    }
    // A file that appears under the new name (differing in case where case is ignored) while
    // the copy is written is never replaced, in MOBIX neither, nor is one swapped in there for
    // the older copy; the copy before it has found out how the file system publishes.
    const QString late = caseless ? "WALD.WAV" : "Wald.wav";
    for (const Mode mode : {Beside, IntoMobix}) {
        const bool mobix = mode == IntoMobix;
        QStringList expected{"MOBIX/", "MOBIX/SONG.MP3", "Take - one.mp3", "Wald - Lied.wav"};
        expected << (mobix ? QStringList{"MOBIX/Take.mp3=late", "MOBIX/" + late + "=late"}
                           : QStringList{"MOBIX/Take.mp3", "Take.mp3=Take - one.mp3", late + "=late"});
        QStringList undone = expected;
        undone.removeAll("Take.mp3=Take - one.mp3");
        QTest::addRow("%s, late file %s", kind, mobix ? "in MOBIX" : "beside")
            << QString(kind) << names.mid(1, 2) << QStringList{"MOBIX/SONG.MP3", "MOBIX/Take.mp3"} << options(mode, 4)
            << (mobix ? late + ",Take.mp3" : late) << expected << (mobix ? "tt" : "ct") << undone << QString();
    }
}

// A file of some hundred MB, written quickly, for copies that are surely under way.
const QString bigName = QStringLiteral("Ein recht langer Titel eines Liedes.mp3");
const QString bigNewName = QStringLiteral("Ein recht langer Titel eines L.mp3");
constexpr qint64 bigSize = qint64(300) << 20;

const QByteArray bigPattern = QByteArray("Kappwerk ").repeated(1 << 17).left(1 << 20);

QStringList hiddenTemps(const QString &folder)
{
    return QDir(folder).entryList({".kappwerk-*"}, QDir::Files | QDir::Hidden | QDir::System);
}

// An exFAT card through FUSE for one test, with a state folder of its own for the journal.
struct ExfatCard {
    StateFolder state;
    QTemporaryDir dir;
    Medium medium{"exfat", dir.path()};
};

} // namespace

class TestRealMedia : public QObject
{
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(".")); }
    void cleanup()
    {
        setBeforePublishForTest({});
        setUnnamedTempsForTest(true);
        setCaseRenamesKeptForTest(false);
    }
    // Each row: the file system, the listed files (all ticked), files that are there before, the
    // options, a file that appears just before a copy is published, the folders afterwards, per
    // ticked entry what the run reports (r renamed, c copied, t name taken), the folder after the
    // undo and what the undo reports.
    void media_data()
    {
        columns<QString, QStringList, QStringList, RenameOptions, QString, QStringList, QString, QStringList, QString>(
            "kind", "names", "before", "options", "late", "expected", "outcomes", "afterUndo", "problems");
        addMediaRows("fat", true);
        addMediaRows("exfat", true);
        addMediaRows("tmpfs", false);
        addMediaRows("ext4", false);
        // Names the run gives that differ in case alone: copies get distinct ones where case is
        // ignored, and a file takes the new case of its own name. Not on "fat": its FUSE driver
        // hangs on a second change of case.
        const QStringList caseNames{"LIED 1.mp3", "lied 2.mp3"};
        for (const char *kind : {"exfat", "ext4"}) {
            const bool caseless = QByteArray(kind) == "exfat";
            QTest::addRow("%s, copies in other case", kind)
                << QString(kind) << caseNames << QStringList() << options(Beside, 4) << QString()
                << sorted(QStringList{"MOBIX/", "LIED.mp3=LIED 1.mp3", caseless ? "li 2.mp3=lied 2.mp3" : "lied.mp3=lied 2.mp3"}
                          << caseNames)
                << "cc" << (QStringList{"MOBIX/"} << caseNames) << QString();
            QTest::addRow("%s, copies into a new MOBIX in other case", kind)
                << QString(kind) << caseNames << QStringList() << options(IntoMobix, 4) << QString()
                << sorted(QStringList{"MOBIX/", "MOBIX/LIED.mp3=LIED 1.mp3", caseless ? "MOBIX/li 2.mp3=lied 2.mp3" : "MOBIX/lied.mp3=lied 2.mp3"}
                          << caseNames)
                << "cc" << (QStringList{"MOBIX/"} << caseNames) << QString();
            QTest::addRow("%s, renames meeting in other case", kind)
                << QString(kind) << QStringList{"Ab 1.mp3", "AB 2.mp3"} << QStringList() << options(InPlace, 2) << QString()
                << QStringList{"MOBIX/", "Ab.mp3=Ab 1.mp3", caseless ? "AB 2.mp3" : "AB.mp3=AB 2.mp3"} << (caseless ? "rt" : "rr")
                << QStringList{"MOBIX/", "Ab 1.mp3", "AB 2.mp3"} << QString();
            QTest::addRow("%s, renamed to other case", kind)
                << QString(kind) << caseNames << QStringList() << options(InPlace, 30, "Lied %#") << QString()
                << QStringList{"MOBIX/", "Lied 1.mp3=LIED 1.mp3", "Lied 2.mp3=lied 2.mp3"} << "rr"
                << (QStringList{"MOBIX/"} << caseNames) << QString();
        }
    }
    void media()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, names);
        QFETCH(QStringList, before);
        QFETCH(RenameOptions, options);
        QFETCH(QString, late);
        QFETCH(QStringList, expected);
        QFETCH(QString, outcomes);
        QFETCH(QStringList, afterUndo);
        QFETCH(QString, problems);
        QTemporaryDir dir;
        Medium medium(kind, dir.path());
        if (!medium.why.isEmpty())
            QSKIP(qPrintable(kind + ": " + medium.why));
        const QString folder = medium.point + '/';
        if (!options.Subdirectory || !before.isEmpty()) // else the run makes it
            QVERIFY(QDir(folder).mkdir("MOBIX"));
        filesIn(folder, before);
        setBeforePublishForTest([&](const NativeName &target) {
            const QFileInfo info(QFile::decodeName(target));
            // A new file under the name, never the same file changed in place.
            for (const QString &name : late.split(',').filter(info.fileName(), Qt::CaseInsensitive)) {
                const QByteArray path = QFile::encodeName(info.path() + '/' + name), made = QFile::encodeName(info.path() + "/new");
                QVERIFY(writeOrigin(made, "late") && ::rename(made.constData(), path.constData()) == 0);
            }
        });
        const std::vector<BatchEntry> entries = filesIn(folder, names);
        // The preview foresees what the run does, but for files that appear during it.
        QStringList foreseenNames;
        if (late.isEmpty()) {
            const std::vector<PlannedEntry> plan = previewRun(entries, options, folder);
            QCOMPARE(foreseenOutcomes(plan, entries, options), outcomes);
            for (const PlannedEntry &planned : plan)
                foreseenNames << planned.newName;
        }
        const RunReport report = journaledRun(entries, options, folder);
        QStringList given;
        for (const EntryResult &result : report.results)
            given << result.newName;
        if (late.isEmpty()) // and the same names
            QCOMPARE(given, foreseenNames);
        QCOMPARE(folderState(folder), sorted(expected));
        QCOMPARE(::outcomes(report), outcomes);
        // Pulled and put back between the run and the undo (its file numbers new on a card), the
        // medium's run is still taken back: the undo knows the files by name, size, time and bytes.
        QVERIFY2(medium.mountAgain().isEmpty(), qPrintable(medium.why));
        QCOMPARE(undoProblemsText(undoLastRun(folder)), problems);
        QCOMPARE(folderState(folder), sorted(afterUndo));
    }
    void killed_data()
    {
        columns<int, bool, QString>("signal", "named", "mode");
        for (const int signal : {SIGKILL, SIGTERM})
            for (const bool named : {false, true})
                for (const char *mode : {"beside", "mobix"})
                    QTest::addRow("%s, %s temporary file, %s", signal == SIGKILL ? "SIGKILL" : "SIGTERM",
                                  named ? "named" : "unnamed", mode) << signal << named << QString(mode);
    }
    // A run killed in the middle of a large copy leaves no partial file under the new name; an
    // unnamed temporary file leaves nothing at all, a named one is removed on SIGTERM, and after
    // SIGKILL it is never listed and the next run in that folder removes it. The run before it
    // can still be taken back: the killed one's first step never took effect.
    void killed()
    {
        QFETCH(int, signal);
        QFETCH(bool, named);
        QFETCH(QString, mode);
        const QString big = m_pool.filePath(bigName);
        if (!QFile::exists(big)) {
            QFile file(big);
            QVERIFY(file.open(QIODevice::WriteOnly));
            for (qint64 written = 0; written < bigSize; written += bigPattern.size())
                QVERIFY(file.write(bigPattern) == bigPattern.size());
        }
        const StateFolder state;
        QTemporaryDir dir(m_pool.filePath("drill-XXXXXX"));
        const QString folder = dir.path() + '/';
        QVERIFY(::link(QFile::encodeName(big).constData(), QFile::encodeName(folder + bigName).constData()) == 0);
        const QString target = mode == "mobix" ? folder + "MOBIX/" : folder;
        // The run before: "Zwei Lieder.mp3" renamed to "Zwei.mp3", listed after the large file.
        QVERIFY(writeOrigin(QFile::encodeName(folder + "Zwei Lieder.mp3"), "zwei"));
        QCOMPARE(journaledRun({entry("Zwei Lieder.mp3")}, {.MaxFileLength = 4, .Overwrite = true}, folder).countDone(), 1);

        killChild({dir.path(), mode, named ? "named" : ""}, signal,
                  [&] { QCOMPARE(hiddenTemps(target).size(), named ? 1 : 0); });
        if (QTest::currentTestFailed())
            return;
        // Nothing under the new name; nothing at all but what SIGKILL leaves of a named file.
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(target).entryList(all).size(), (target == folder ? 2 : 0) + (named && signal == SIGKILL ? 1 : 0));
        QCOMPARE(hiddenTemps(target).size(), named && signal == SIGKILL ? 1 : 0);
        FileListData lists;
        FillFileList(lists, "*.*", false, dir.path(), {});
        QCOMPARE(lists.entries, (QStringList{bigName, "Zwei.mp3"}));
        QCOMPARE(FillFileList(lists, "*.*", false, target, {}).isEmpty(), target != folder);
        const UndoReport undone = undoLastRun(folder);
        QCOMPARE(undoProblemsText(undone), QString());
        QCOMPARE(undone.countDone(), 1);
        QVERIFY(QFile::exists(folder + "Zwei Lieder.mp3"));

        // The next run removes what its journal shows the killed one left, and makes the whole copy.
        setUnnamedTempsForTest(!named);
        QCOMPARE(journaledRun({entry(bigName)}, {.Subdirectory = mode == "mobix"}, folder).countDone(), 1);
        QCOMPARE(hiddenTemps(target), QStringList());
        QFile copy(target + bigNewName); // whole: its last bytes where they belong, and no more
        QVERIFY(copy.open(QIODevice::ReadOnly) && copy.seek(bigSize - bigPattern.size()));
        QVERIFY(copy.readAll() == bigPattern);
    }
    // The listing serves the run only while the folder is provably unchanged: a file the list
    // shows that became a folder after the listing, within the same second, stays.
    void listingThenChanged_data()
    {
        columns<QString>("kind");
        for (const char *kind : {"ext4", "ext4 seconds", "tmpfs", "exfat"})
            QTest::newRow(kind) << QString(kind);
    }
    void listingThenChanged()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const Medium medium(kind, dir.path());
        if (!medium.why.isEmpty())
            QSKIP(qPrintable(kind + ": " + medium.why));
        const QString folder = medium.point + '/';
        for (int round = 0; round < 3; ++round) {
            const std::vector<BatchEntry> entries = filesIn(folder, {"a.mp3", "b.mp3"});
            QThread::msleep(300);
            FileListData lists; // the entries as listed, and the listing kept for the run
            QCOMPARE(FillFileList(lists, "*.*", false, folder, {}), QDir::toNativeSeparators(folder));
            QCOMPARE(lists.entries, QStringList({"a.mp3", "b.mp3"}));
            QVERIFY(QFile::remove(folder + "b.mp3") && QDir(folder).mkdir("b.mp3"));
            QCOMPARE(::outcomes(runBatch(entries, options(InPlace, 30, "x%#"), folder, nullptr)), QString("rg"));
            QCOMPARE(folderState(folder), (QStringList{"b.mp3/", "x1.mp3=a.mp3"}));
            QVERIFY(QFile::remove(folder + "x1.mp3") && QDir(folder).rmdir("b.mp3"));
        }
    }
    // Each row: the medium, on a small tmpfs filled up to the given free bytes before the
    // originals are written (a FAT card filled up itself), what the run reports and what it
    // leaves. A copy that does not fit is skipped for want of room, also where the driver
    // answers a full card as a refused write (fusefat), and leaves nothing behind. An ext4 image
    // whose own file sits on the full tmpfs takes the originals and the copies into its cache
    // but cannot write them out: the copies are reported failed, not done.
    void deviceFull_data()
    {
        columns<QString, qint64, QString, QStringList>("kind", "free", "outcomes", "afterRun");
        QTest::newRow("no room for the copy") << "tmpfs" << qint64(136 << 10) << "sc" << QStringList{"MOBIX/", "MOBIX/a.mp3=a.mp3"};
        QTest::newRow("no room for the copy on a FAT card") << "fat" << qint64(136 << 10) << "sc" << QStringList{"MOBIX/", "MOBIX/a.mp3=a.mp3"};
        QTest::newRow("no room to write the copies out") << "ext4 unjournaled" << qint64(0) << "ff"
            << QStringList{"MOBIX/", "MOBIX/Schubert.mp3=Schubert - Staendchen.mp3", "MOBIX/a.mp3=a.mp3"};
    }
    void deviceFull()
    {
        QFETCH(QString, kind);
        QFETCH(qint64, free);
        QFETCH(QString, outcomes);
        QFETCH(QStringList, afterRun);
        const StateFolder state;
        QTemporaryDir dir;
        const Medium small("tmpfs", dir.path(), 4 << 20);
        const auto image = kind == "tmpfs" ? nullptr : std::make_unique<Medium>(kind, small.point, kind == "fat" ? 2 << 20 : 64 << 20);
        const Medium &medium = image ? *image : small;
        if (!medium.why.isEmpty() || !small.why.isEmpty())
            QSKIP(qPrintable(kind + ": " + medium.why + small.why));
        const QString folder = medium.point + "/Musik/";
        QVERIFY(QDir().mkpath(folder + "MOBIX"));
        ::sync(); // the empty file system is on the device, the rest of the room then taken
        fillUp(kind == "fat" ? medium.point : small.point, free);
        const QStringList originals{"Schubert - Staendchen.mp3", "a.mp3"};
        QCOMPARE(::outcomes(journaledRun(filesIn(folder, originals), options(IntoMobix, 8), folder)), outcomes);
        QCOMPARE(folderState(folder), afterRun + originals);
        // The journal claims no copy done that may not be on the device, so undo removes them all.
        QCOMPARE(undoProblemsText(undoLastRun(folder)), QString());
        QCOMPARE(folderState(folder), QStringList{"MOBIX/"} + originals);
    }
    void killedWhileTakingAName_data()
    {
        columns<QString, int>("kind", "signal");
        for (const char *kind : {"exfat", "local"})
            for (const int signal : {SIGTERM, SIGKILL})
                QTest::addRow("%s, %s", kind, signal == SIGTERM ? "SIGTERM" : "SIGKILL") << QString(kind) << signal;
    }
    // Where a new name is taken by creating an empty file first, a run ended between that and
    // the rename onto it leaves no empty file under the new name: SIGTERM takes it away at
    // once, and after SIGKILL the undo (like the next run) removes it, as the journal shows it.
    // "local" forces that way of renaming on the test's own folder, where mounting is not possible.
    void killedWhileTakingAName()
    {
        QFETCH(QString, kind);
        QFETCH(int, signal);
        const StateFolder state;
        QTemporaryDir dir;
        std::unique_ptr<Medium> medium;
        if (kind != "local") {
            medium = std::make_unique<Medium>(kind, dir.path());
            if (!medium->why.isEmpty())
                QSKIP(qPrintable(kind + ": " + medium->why));
        }
        const QString folder = kind == "local" ? dir.path() + "/" : medium->point + "/";
        QStringList names;
        for (int i = 1; i <= 8; ++i)
            names << QStringLiteral("Lied %1 - ein ziemlich langer Titel.mp3").arg(i);
        filesIn(folder, names);
        const auto emptyFiles = [&] {
            const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
            return int(std::count_if(files.begin(), files.end(), [](const QFileInfo &file) { return file.size() == 0; }));
        };
        for (int round = 0; round < 3; ++round) {
            killChild({folder, "inplace", "reserve"}, signal, [&] {
                // The signal comes while a new name is held by an empty file.
                for (int i = 0; i < 100 && emptyFiles() == 0; ++i)
                    QThread::msleep(5);
                QCOMPARE(emptyFiles(), 1);
            });
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(emptyFiles(), signal == SIGTERM ? 0 : 1);
            QCOMPARE(undoProblemsText(undoLastRun(folder)), QString());
            QCOMPARE(folderState(folder), sorted(names));
        }
    }
    // A run killed just before it gives an empty file its own name in other case, where case is
    // ignored: what the next undo clears away as a killed run's empty placeholder is never the
    // file itself, found under the new spelling, and the undo takes back the run before it, as
    // the killed one took no effect.
    void killedRenameToOtherCase()
    {
        const ExfatCard card;
        if (!card.medium.why.isEmpty())
            QSKIP(qPrintable("exfat: " + card.medium.why));
        const QString folder = card.medium.point + "/";
        QFile empty(folder + "LIED 1 - eins.mp3");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QCOMPARE(journaledRun({entry("LIED 1 - eins.mp3")}, options(InPlace, 6), folder).countDone(), 1);
        const pid_t child = ::fork();
        if (child == 0) {
            struct Killer : RunObserver {
                bool aboutToPublish(const JournalStep &) override { ::_exit(0); }
            } killer;
            journaledRun({entry("LIED 1.mp3")}, options(InPlace, 30, "Lied %#"), folder, &killer);
            ::_exit(1);
        }
        int status = 1;
        QVERIFY(::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        undoLastRun(folder);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"LIED 1 - eins.mp3"});
    }
    // Where the driver takes a rename to other case alone as nothing to do and reports success
    // (the kernel's FAT and exFAT drivers), such a file counts as not renamed.
    void caseKeptByDriver()
    {
        const ExfatCard card;
        if (!card.medium.why.isEmpty())
            QSKIP(qPrintable("exfat: " + card.medium.why));
        const QString folder = card.medium.point + "/";
        setCaseRenamesKeptForTest(true);
        const RunReport report = journaledRun(filesIn(folder, {"LIED 1.mp3", "lied 2.mp3", "x.mp3"}),
                                              options(InPlace, 30, "Lied %#"), folder);
        QCOMPARE(::outcomes(report), QString("ttr"));
        QCOMPARE(folderState(folder), sorted({"LIED 1.mp3", "lied 2.mp3", "Lied 3.mp3=x.mp3"}));
    }
    // On FUSE a spelling in other case that one look found leads to that file for a second or
    // so, even once the file is renamed: a look a moment later, after another file took the
    // name, still finds that case is ignored.
    void caseLookedAtAgain()
    {
        const ExfatCard card;
        if (!card.medium.why.isEmpty())
            QSKIP(qPrintable("exfat: " + card.medium.why));
        const QString folder = card.medium.point + "/", name = "Abcdefghijklmnop.mp3";
        QVERIFY(writeOrigin(QFile::encodeName(folder + name), "a"));
        Folder opened;
        QCOMPARE(openFolder(QFile::encodeName(folder), &opened), 0);
        const auto close = qScopeGuard([&] { closeFolder(&opened); });
        QVERIFY(namesIgnoreCase(opened, QFile::encodeName(name)));
        QVERIFY(QFile::rename(folder + name, folder + "x.mp3") && writeOrigin(QFile::encodeName(folder + name), "another file"));
        QVERIFY(namesIgnoreCase(opened, QFile::encodeName(name)));
    }

private:
    QTemporaryDir m_pool; // holds the large file, linked into the folder of every kill drill
};

QTEST_GUILESS_MAIN(TestRealMedia)
#include "test_realmedia.moc"
