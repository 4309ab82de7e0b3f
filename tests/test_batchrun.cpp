#include <algorithm>

#include <QDateTime>
#include <QThread>

#include "engine/namerules.h"
#include "runtable.h"

namespace {

// A folder laid out in list order: "name" is a listed file, "-name" is on disk but not listed,
// "!name" is listed but gone, "|name" a listed pipe, "~name" listed under its Latin-1 bytes,
// "/name" listed but now a folder, "a->b" a link and "a=>b" a hard link.
struct TestFolder {
    QTemporaryDir dir;
    std::vector<BatchEntry> entries;

    TestFolder(const QStringList &names, const QString &ticks)
    {
        for (QString name : names) {
            const QChar kind = name.front();
            if (QStringLiteral("-!|~/").contains(kind))
                name.remove(0, 1);
            const bool hard = name.contains("=>");
            const QStringList parts = name.split(hard ? "=>" : "->");
#ifdef Q_OS_WIN
            // Links, pipes and names in other encodings are made on POSIX systems only.
            const NativeName native = parts[0];
            const NativeName at = path() + native;
            QDir(dir.path()).mkpath(QFileInfo(parts[0]).path());
            if (kind == '/')
#else
            const NativeName native = kind == '~' ? parts[0].toLatin1() : QFile::encodeName(parts[0]);
            const QByteArray at = QFile::encodeName(path()) + native;
            QDir(dir.path()).mkpath(QFileInfo(parts[0]).path());
            if (parts.size() > 1)
                QVERIFY((hard ? ::link(QFile::encodeName(path() + parts[1]).constData(), at.constData())
                              : ::symlink(QFile::encodeName(parts[1]).constData(), at.constData())) == 0);
            else if (kind == '|')
                QVERIFY(::mkfifo(at.constData(), 0644) == 0);
            else if (kind == '/')
#endif
                QVERIFY(QDir().mkpath(path() + parts[0]));
            else if (kind != '!')
                QVERIFY(writeOrigin(at, parts[0]));
            if (kind != '-')
                entries.push_back({decodeNativeName(native), QFileInfo(parts[0]).suffix(), native,
                                   ticks.at(qsizetype(entries.size())) == 'x'});
        }
    }

    // With the system's separator, as the file list gives the folder to a run.
    QString path() const { return QDir::toNativeSeparators(dir.path() + '/'); }
    QStringList state() const { return folderState(path()); }
};

// Lists are separated by ",".
void row(const char *name, const QString &names, const char *ticks, const RenameOptions &options, const char *seams,
         const QString &expected, const char *outcomes)
{
    QTest::newRow(name) << names.split(',') << QString(ticks) << options << QString(seams) << expected
                        << QString(outcomes);
}

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    // Qt's warnings go to the user's terminal; a run gives none.
    void init() { QTest::failOnWarning(QRegularExpression(".")); }
    void cleanup()
    {
        setCopyWriteLimitForTest(-1);
        setPublishLimitForTest(PublishLimit::None);
        setUnnamedTempsForTest(true);
        setWriteErrorForTest(0, 0);
        setCheckErrorForTest(0);
        setBeforePublishForTest({});
        setCopyMethodForTest(CopyMethod::Fastest);
        setCopyChunkForTest(0);
        setListedInodeShiftForTest(0);
    }
    void run_data();
    void run();
    // A run reports its progress between the chunks of a file and stops where it is asked to:
    // between two files, or between two chunks of one, leaving no partial file.
    void progressAndCancel_data()
    {
        // Entries done before the stop (-1 never), whether it comes in the middle of the next file,
        // named temporary files, and what the run reports.
        columns<int, bool, bool, QString>("stopAfter", "midFile", "named", "outcomes");
        QTest::newRow("to the end") << -1 << false << false << "cccc";
        QTest::newRow("between files") << 2 << false << false << "ccxx";
        QTest::newRow("inside a file") << 2 << true << false << "ccxx";
        QTest::newRow("inside a file, named temporary file") << 0 << true << true << "xxxx";
    }
    void progressAndCancel()
    {
        QFETCH(int, stopAfter);
        QFETCH(bool, midFile);
        QFETCH(bool, named);
        QFETCH(QString, outcomes);
        struct Recorder : RunObserver {
            Recorder(int stopAfter, bool midFile) : stopAfter(stopAfter), midFile(midFile) {}
            const int stopAfter, midFile;
            QList<float> values;
            RunProgress last;
            void progress(const RunProgress &state) override { last = state; values << state.barValue(); }
            bool cancelRequested() override
            {
                return stopAfter >= 0 && values.size() > 1 && int(last.entriesDone) >= stopAfter
                       && (!midFile || last.bytesDone > 0);
            }
        } observer(stopAfter, midFile);
        TestFolder folder({"a.mp3", "b.mp3", "c.mp3", "d.mp3"}, "xxxx");
        setCopyChunkForTest(4096); // each file takes several chunks
        setUnnamedTempsForTest(!named);
        const RunReport report = RunBatch(folder.entries, options(IntoMobix, 30), folder.path(), &observer);
        QCOMPARE(::outcomes(report), outcomes);
        QCOMPARE(report.cancelled, stopAfter >= 0);
        // Only whole copies, nothing hidden left behind.
        QStringList expected{"MOBIX/"};
        for (const BatchEntry &entry : folder.entries) {
            expected << entry.text;
            if (expected.size() <= 2 * (stopAfter < 0 ? 4 : stopAfter))
                expected << "MOBIX/" + entry.text + '=' + entry.text;
        }
        expected.sort();
        QCOMPARE(folder.state(), expected);
        // The bar never goes back, moves inside files, and shows 100 only after the flush (compared
        // exactly: QCOMPARE takes 99.9999 for 100).
        const QList<float> &values = observer.values;
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QVERIFY(std::any_of(values.begin(), values.end(), [](float v) { return v > 0.0001f && v < 25; }));
        QVERIFY(values.first() == 0.0001f && values.last() == 100.0f);
        QVERIFY(stopAfter == 0 || values.at(values.size() - 2) == 99.9999f);
    }
    void progressNumberingAndFacts()
    {
        TestFolder folder({"a.mp3", "b.mp3", "c.mp3", "d.mp3"}, "...x");
#ifdef Q_OS_WIN
        // Windows keeps the time in steps of 100 ns; a copy takes it over.
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1200000000987, Qt::UTC);
        QFile last(folder.path() + "d.mp3");
        QVERIFY(last.open(QIODevice::ReadWrite) && last.setFileTime(when, QFileDevice::FileModificationTime));
        last.close();
#else
        const QByteArray last = QFile::encodeName(folder.path() + "d.mp3");
        const struct timespec times[2] = {{1000000000, 0}, {1200000000, 987654321}};
        QVERIFY(::chmod(last.constData(), 0640) == 0 && ::utimensat(AT_FDCWD, last.constData(), times, 0) == 0);
#endif
        const RenameOptions numbered = options(IntoMobix, 30, "%#");
        QList<float> values;
        setCopyMethodForTest(CopyMethod::SendFile); // the slower ways a file system may force
        CutFiles(folder.entries, numbered, folder.path(), [&](float value) { values << value; });
        QCOMPARE(values, (QList<float>{0.0001f, 25, 50, 75, 100}));
        QVERIFY(folder.state().contains("MOBIX/1.mp3=d.mp3"));
#ifdef Q_OS_WIN
        QCOMPARE(QFileInfo(folder.path() + "MOBIX/1.mp3").lastModified().toUTC(), when);
#else
        struct stat st = {};
        QVERIFY(::stat(QFile::encodeName(folder.path() + "MOBIX/1.mp3").constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, 0640u);
        QCOMPARE(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, 1200000000987654321LL);
#endif
        // A second run numbers from 1 again.
        folder.entries[0].selected = true;
        setCopyMethodForTest(CopyMethod::ReadWrite);
        CutFiles(folder.entries, numbered, folder.path(), {});
        QCOMPARE(folder.state(), (QStringList{"MOBIX/", "MOBIX/1.mp3=a.mp3", "MOBIX/2.mp3=d.mp3", "a.mp3",
                                              "b.mp3", "c.mp3", "d.mp3"}));
    }
    void undo_data();
    void undo()
    {
        QFETCH(RenameOptions, options);
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, left);
        QFETCH(QString, problems);
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
        // A thousand renames; copies are fewer, as each run ends by writing them out to the disk.
        const int count = options.Overwrite ? 1000 : 20;
        QStringList names;
        for (int i = 1; i <= count; ++i)
            names << QStringLiteral("%1 Lied%2.mp3").arg(i, 4, 10, QChar('0')).arg(meanwhile == "fuse" ? QString(100, u'ü') : "");
        if (problems.contains("ältere"))
            names << "-MOBIX/0001.mp3";
        TestFolder folder(names, QString(count, 'x'));
        const QStringList before = folder.state();
        setListedInodeShiftForTest(meanwhile == "fuse" ? 1 : 0);
        {
            // The journal is closed when its run is over (Windows removes no open file).
            JournalObserver journal(folder.path(), nullptr);
            QCOMPARE(RunBatch(folder.entries, options, folder.path(), &journal).countDone(), count);
        }
        QVERIFY(hasJournal(folder.path()));
        for (const QString &step : meanwhile.split(", ", Qt::SkipEmptyParts)) {
            if (step == "fuse")
                continue;
            const QString path = folder.path() + step.section(' ', 1);
            if (step.startsWith("change"))
                QVERIFY(QFile(path).resize(5));
            else if (step.startsWith("replace"))
                QVERIFY(QFile::remove(path) && writeOrigin(QFile::encodeName(path), "other"));
            else
                QVERIFY(writeOrigin(QFile::encodeName(path), "other"));
        }
        const UndoReport report = UndoLastRun(folder.path());
        QVERIFY(report.hadJournal && !hasJournal(folder.path()));
        QCOMPARE(undoProblemsText(report, 1000), problems);
        // Everything else is as before the run: the same names with the same bytes.
        QStringList now = folder.state();
        for (const QString &entry : left)
            QVERIFY2(now.removeOne(entry), qPrintable(entry));
        QStringList expected = before;
        expected.removeAll("MOBIX/");
        expected.removeAll("MOBIX/0001.mp3");
        for (const QString &entry : left)
            expected.removeAll(entry.section('=', 0, 0));
        QCOMPARE(now, expected);
    }
    void rules_data();
    void rules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, name);
        QFETCH(QString, arg);
        QFETCH(QString, expected);
        NextNumber = arg.toInt();
        for (const QString &want : expected.split(QLatin1Char('|'))) {
            const QString got = rule == "strip"    ? StripExtension(name)
                                : rule == "cut"    ? CutFilename(name, arg.toInt())
                                : rule == "remove" ? RemoveSpecial(name, arg)
                                : rule == "allowed" ? QString(isPlainFileName(name) ? "yes" : "no")
                                                   : NumberFilename(name);
            QCOMPARE(got, want);
        }
    }
};

// Each row: the folder, the ticks, the options, the seams in force ("full" disk, no no-replace
// rename ("link"), no hard links either ("nolink"), no unnamed temporary files ("named"), a
// "late" file in the way or an older copy changed, another file "swap"ped in for it, the folder
// "gone", no copy may start ("nocopy")), the folder after the run, a plain "readwrite" copy whose write fails ("writefail") or whose close reports an
// error ("closefail"), and what the run reports.
void TestBatchRun::run_data()
{
    columns<QStringList, QString, RenameOptions, QString, QString, QString>("names", "ticks", "options", "seams",
                                                                            "expected", "outcomes");
    const QString s = "Schubert - Ständchen.mp3", older = s + ",-MOBIX/Schubert.mp3";
    const QString olderKept = "MOBIX/,MOBIX/Schubert.mp3," + s;
    row("cut to 8 beside", s, "x", options(Beside, 8), "", s + ",Schubert.mp3=" + s, "c");
    row("numbering skips unticked", "a.mp3,x.mp3,b.wav,c.mp3", "x.xx", options(InPlace, 30, "%# - Dateiname", true), "",
        "1 - Dateiname.mp3=a.mp3,2 - Dateiname.wav=b.wav,3 - Dateiname.mp3=c.mp3,x.mp3", "rrr");
    row("removal, unchanged", "Grüße.MP3,äöü.mp3,ok.mp3", "xxx", options(InPlace, 30, {}, true), "",
        "Gre.MP3=Grüße.MP3,.mp3=äöü.mp3,ok.mp3", "rru");
    row("only the last dot; no dot gets none", "live.at.home.mp3,README", "xx", options(InPlace, 4), "",
        "live.mp3=live.at.home.mp3,READ=README", "rr");
    row("a cut never splits a character", "\U0001F600\U0001F600 emoji.mp3", "x", options(InPlace, 3), "",
        "\U0001F600.mp3=\U0001F600\U0001F600 emoji.mp3", "r");
    // A rename never replaces: not a file another ticked file got first, not a dangling link;
    // and it renames only a regular file, not a folder that took the listed name.
    const QString taken = "ab 1.mp3,ab 2.mp3,-ab.wav->gone.wav,ab 3.wav,-real,cd 1.mp3->real,/ef 1.mp3";
    const QString stays = "ab.mp3=ab 1.mp3,ab 2.mp3,ab.wav->gone.wav,ab 3.wav,real,cd.mp3->real,ef 1.mp3/";
    row("rename never replaces", taken, "xxxxx", options(InPlace, 2), "", stays, "rttrg");
    row("rename by link never replaces", taken, "xxxxx", options(InPlace, 2), "link", stays, "rttrg");
    row("rename by reservation never replaces", taken, "xxxxx", options(InPlace, 2), "nolink", stays, "rttrg");
    // A copy beside the originals never replaces one, not even one that appears during the copy.
    row("beside onto a ticked file", "a - x.mp3,a.mp3", "xx", options(Beside, 1), "", "a - x.mp3,a.mp3", "tt");
    row("beside onto a late file", s, "x", options(Beside, 8), "late", s + ",Schubert.mp3=late", "t");
    row("beside by reservation onto a late file", s, "x", options(Beside, 8), "late nolink named",
        s + ",Schubert.mp3=late", "t");
    row("beside by reservation", s, "x", options(Beside, 8), "nolink named", s + ",Schubert.mp3=" + s, "c");
    // A copy into MOBIX refreshes an older one there, and copies the file a link leads to; two
    // entries that get one name there: the first keeps it.
    row("MOBIX copy refreshes", older + ",-real,cd 1.mp3->real", "xx", options(IntoMobix, 8), "named",
        "MOBIX/,MOBIX/Schubert.mp3=" + s + ',' + s + ",MOBIX/cd 1.mp3=real,cd 1.mp3->real,real", "cc");
    row("MOBIX names that collide", "Album - 01.mp3,Album - 02.mp3,Older one.mp3,-MOBIX/Older.mp3", "xxx",
        options(IntoMobix, 5), "", "MOBIX/,MOBIX/Album.mp3=Album - 01.mp3,MOBIX/Older.mp3=Older one.mp3,"
        "Album - 01.mp3,Album - 02.mp3,Older one.mp3", "ctc");
    row("full disk keeps the older copy", older, "x", options(IntoMobix, 8), "full", olderKept, "s");
    // The older copy is replaced only as it was seen: a file swapped in or a change made during
    // the copy stays, where names are swapped in one step and where they are looked at first.
    row("older swapped during the copy", older, "x", options(IntoMobix, 8), "swap", "MOBIX/,MOBIX/Schubert.mp3=late," + s, "t");
    row("older changed during the copy", older, "x", options(IntoMobix, 8), "late link named",
        "MOBIX/,MOBIX/Schubert.mp3=late," + s, "t");
    // The plain read/write copy: a failing or short write, or a late error on close, publishes
    // nothing over the older copy.
    row("write fails midway", older, "x", options(IntoMobix, 8), "readwrite writefail", olderKept, "e");
    row("late write error", older, "x", options(IntoMobix, 8), "readwrite closefail named", olderKept, "e");
    row("never onto itself", "a.mp3,-MOBIX/a.mp3=>a.mp3", "x", options(IntoMobix, 9), "",
        "MOBIX/,MOBIX/a.mp3==a.mp3,a.mp3==a.mp3", "t");
    // "café" in Latin-1 is shown as "caf\uFFFD", whose UTF-8 names another file.
    row("source by its native name", "~café live.mp3,-caf\uFFFD live.mp3", "x", options(InPlace, 3), "",
        "caf.mp3=café live.mp3,caf\uFFFD live.mp3", "r");
    row("a new name is never a path", "a.mp3,-sub/keep", "x", options(InPlace, 3, "sub/%#"), "", "a.mp3,sub/,sub/keep",
        "n");
    // Nor one that Windows refuses or changes: a device name, a trailing blank, a character.
    row("device names", "a.mp3,b.mp3,c", "xxx", options(InPlace, 30, "com%#"), "", "a.mp3,b.mp3,c", "nnn");
    row("trailing blank", "Track 12,Track 3.mp3", "xx", options(InPlace, 6), "", "Track 12,Track .mp3=Track 3.mp3", "nr");
    row("characters Windows refuses", "a.mp3,b.mp3", "xx", options(Beside, 30, "%# ? live"), "", "a.mp3,b.mp3", "nn");
    row("too long: no byte copied", "a.mp3", "x", options(Beside, 3, QString(300, 'x')), "nocopy", "a.mp3", "l");
    row("failures skipped", "!gone,|pipe,/dir,ok.mp3", "xxxx", options(IntoMobix, 1), "",
        "MOBIX/,MOBIX/o.mp3=ok.mp3,ok.mp3,pipe|,dir/", "gggc");
    // "MOBIX" is only ever a real folder inside the listed one: never a file, never a link.
    row("MOBIX is a file", "a.mp3,-MOBIX", "x", options(IntoMobix, 30), "", "MOBIX,a.mp3", "m");
    row("MOBIX links to the folder", "a - b.mp3,a.mp3,-MOBIX->.", "xx", options(IntoMobix, 1), "",
        "MOBIX->.,a - b.mp3,a.mp3", "mm");
    row("MOBIX links elsewhere", "a.mp3,-other/a.mp3,-MOBIX->other", "x", options(IntoMobix, 30), "",
        "MOBIX->other,other/,other/a.mp3,a.mp3", "m");
    row("folder gone", "a.mp3", "x", options(IntoMobix, 1), "gone", "", "g");
}

void TestBatchRun::run()
{
    QFETCH(QStringList, names);
    QFETCH(QString, ticks);
    QFETCH(RenameOptions, options);
    QFETCH(QString, seams);
    QFETCH(QString, expected);
    QFETCH(QString, outcomes);
#ifdef Q_OS_WIN
    if (names.join(',').contains(QRegularExpression("->|=>|(^|,)[|~]")))
        QSKIP("links, pipes and names in other encodings are POSIX only");
#endif
    TestFolder folder(names, ticks);
    setCopyWriteLimitForTest(seams.contains("full") ? 1000 : seams.contains("nocopy") ? 0 : -1);
    setPublishLimitForTest(seams.contains("nolink") ? PublishLimit::NoLinks
                           : seams.contains("link") ? PublishLimit::NoNoReplaceRename
                                                    : PublishLimit::None);
    setUnnamedTempsForTest(!seams.contains("named"));
    if (seams.contains("late"))
        setBeforePublishForTest([&](const NativeName &target) { writeOrigin(target, "late"); });
    if (seams.contains("swap"))
        setBeforePublishForTest([&](const NativeName &target) {
#ifdef Q_OS_WIN
            const QString path = plainPath(target);
            QVERIFY(writeOrigin(path + ".new", "late") && QFile::remove(path) && QFile::rename(path + ".new", path));
#else
            QVERIFY(writeOrigin(target + ".new", "late") && ::rename((target + ".new").constData(), target.constData()) == 0);
#endif
        });
    if (seams.contains("readwrite"))
        setCopyMethodForTest(CopyMethod::ReadWrite);
    setWriteErrorForTest(seams.contains("writefail") ? EIO : 0, 40000);
    setCheckErrorForTest(seams.contains("closefail") ? EIO : 0);
    // The preview foresees the run's names and outcomes, but for what changes or fails during the
    // run, listed entries that are no regular files ("g") and a copy onto the file itself.
    const std::vector<PlannedEntry> plan = PreviewRun(folder.entries, options, folder.path());
    if (seams.contains("gone"))
        QVERIFY(folder.dir.remove());
    // The run works on a thread of its own, as the window runs it.
    RunReport report;
    std::unique_ptr<QThread> worker(QThread::create([&] { report = RunBatch(folder.entries, options, folder.path(), nullptr); }));
    worker->start();
    QVERIFY(worker->wait(60000));
    QStringList want = expected.split(',', Qt::SkipEmptyParts);
    want.sort();
    QCOMPARE(folder.state(), want);
    QCOMPARE(::outcomes(report), outcomes);
    QString foreseen, given, foreseenNames;
    for (size_t i = 0; i < plan.size(); ++i) {
        if (folder.entries[i].selected) {
            foreseen += plan[i].problem != SkipReason::None ? code(plan[i].problem) : options.Overwrite ? 'r' : 'c';
            foreseenNames += plan[i].newName + '|';
        }
    }
    for (const EntryResult &result : report.results)
        given += result.newName + '|';
    QCOMPARE(foreseenNames, given);
    if (!QRegularExpression("full|late|swap|fail|gone").match(seams).hasMatch() && !outcomes.contains('g')
        && QByteArray(QTest::currentDataTag()) != "never onto itself")
        QCOMPARE(foreseen, outcomes);
}

// Undo takes the last run back from its journal: renames back and copies removed, but only
// what is still as the run left it, and never replacing anything.
void TestBatchRun::undo_data()
{
    // The run's options, what happens between the run and the undo ("fuse": the folder's listing
    // numbers files unlike their inodes, so the run must not take their identity from it, and
    // long names of umlauts make journal lines three times their bytes), what stays of the
    // run's work or of the meantime, and what the undo reports.
    columns<RenameOptions, QString, QStringList, QString>("options", "meanwhile", "left", "problems");
    QTest::newRow("rename, listing numbered otherwise") << options(InPlace, 30, "%#") << "fuse" << QStringList() << "";
    QTest::newRow("a copy changed, another replaced") << options(Beside, 4) << "change 0002.mp3, replace 0003.mp3"
        << QStringList{"0002.mp3=?", "0003.mp3=other"}
        << "0003.mp3: Datei wurde seither geändert oder ersetzt\n0002.mp3: Datei wurde seither geändert oder ersetzt";
    QTest::newRow("an old name taken again") << options(InPlace, 30, "%#") << "take 0004 Lied.mp3"
        << QStringList{"4.mp3=0004 Lied.mp3", "0004 Lied.mp3=other"} << "4.mp3 → 0004 Lied.mp3: alter Name ist wieder vergeben";
    QTest::newRow("a refreshed copy in MOBIX") << options(IntoMobix, 4) << "" << QStringList{"MOBIX/"}
        << "MOBIX/0001.mp3: die ältere Datei in MOBIX lässt sich nicht wiederherstellen";
}

// Each row applies one rule to a name or pattern ("allowed": whether a new name may be given).
// arg is the length, the allowed characters or the starting number; expected holds the results
// of successive calls, separated by "|".
void TestBatchRun::rules_data()
{
    columns<QString, QString, QString, QString>("rule", "name", "arg", "expected");
    const auto row = [](const char *rule, const QString &name, const QString &arg, const QString &expected) {
        QTest::addRow("%s(%s, %s)", rule, qPrintable(name), qPrintable(arg.left(8)))
            << rule << name << arg << expected;
    };
    row("strip", "live.at.home.mp3", "", "live.at.home");
    row("strip", "x.", "", "x");
    row("strip", "README", "", "");
    row("strip", ".profile", "", "");
    row("cut", "abc", "-5", ""); // a negative length cuts everything
    row("remove", "ABCabc", "abc", "abc");
    row("remove", "aab", "aaab", "aab"); // a repeated allowed character keeps the name's once
    row("remove", QStringLiteral("x€–y"), QStringLiteral("€y"), QStringLiteral("€y"));
    row("number", "Track %# live", "1", "Track 1 live");
    row("number", "%#%#", "1", "1%#");
    row("number", "%#", "2147483647", "2147483647|2147483647"); // stops instead of overflowing
    // A new name is a name in its folder, and one that Windows takes unchanged.
    for (const QString &name : QStringList{"", ".", "..", "../a.mp3", "a\\b.mp3", "a" + QString(QChar(0)),
                                           "x\t.mp3", "song.", "song ", "a.mp3.", "con", "CON.mp3", "prn.tar.gz",
                                           "Aux", "nul .mp3", "COM1", "com9.wav", "LPT1.mp3", "lpt9", "a<b", "a>b",
                                           "a:b.mp3", "a\"b", "a|b", "a?b", "a*b"})
        row("allowed", name, "", "no");
    for (const QString &name : QStringList{".mp3", "a b.mp3", "console.mp3", "COM0.mp3", "com10", "LPT", "nullify",
                                           ".profile", "x..mp3", "Grüße €.mp3"})
        row("allowed", name, "", "yes");
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "test_batchrun.moc"
