// Fault drills: batches over real folders in which the world changes between the listing and
// the click on "Dateinamen ändern". Whatever goes wrong, no original loses a byte, every copy
// that exists is whole, no temporary file is left behind and the window still answers.
#include "windowfixture.h"

#include <QHash>
#include <QRandomGenerator>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace {
enum Mode { Subfolder, SubfolderIsAFile };
using Files = QHash<QString, QByteArray>;

// The name the default cut mode gives a file, worked out independently of the program.
QString newName(const QString &name)
{
    static const QString allowed = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString base;
    for (QChar c : name.left(dot))
        if (allowed.contains(c))
            base.append(c);
    return base.left(30) + name.mid(dot);
}

Files readFolder(const QString &folder)
{
    Files files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        QFile file(folder + QLatin1Char('/') + name);
        files.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable"));
    }
    return files;
}
} // namespace

class TestFaultDrills : public QObject, public WindowFixture
{
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup()
    {
        tearDown();
        setCopyWriteLimitForTest(-1);
    }
    void batchUnderFaults_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("copies into MOBIX") << int(Subfolder);
        QTest::newRow("MOBIX replaced by a file") << int(SubfolderIsAFile);
    }
    void batchUnderFaults();
    void realFullDisk()
    {
#ifdef Q_OS_LINUX
        const QString folder = m_folder->path();
        // A small file system of its own, so the disk really runs full (root only).
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=3m") != 0)
            QSKIP("cannot mount a small file system here");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH); });
        Files originals{{QStringLiteral("Groß.mp3"), QByteArray(1600 * 1024, 'G')}};
        for (int i = 1; i <= 20; ++i)
            originals.insert(QStringLiteral("Klein %1.mp3").arg(i), QByteArray(3000 + i, char('a' + i)));
        writeFiles({}, originals);
        run(folder, [&] {
            writeFiles("MOBIX/", {{QStringLiteral("Gro.mp3"), "older copy"}});
        });
        QCOMPARE(readFolder(folder), originals);
        Files expected = originals;
        expected.remove(QStringLiteral("Groß.mp3"));
        expected.insert(QStringLiteral("Gro.mp3"), "older copy");
        QCOMPARE(readFolder(folder + QStringLiteral("/MOBIX")), expected);
#else
        QSKIP("needs a mountable small file system");
#endif
    }

private:
    // Writes the files into the test folder or one of its subfolders ("" or "MOBIX/").
    void writeFiles(const QString &sub, const Files &files)
    {
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            makeFile(sub + it.key(), it.value());
    }
    // Lists the folder in a fresh window, lets the world change, ticks all and cuts into MOBIX.
    void run(const QString &folder, const std::function<void()> &meanwhile)
    {
        open(folder);
        meanwhile();
        click("AllFiles");
        click("Cut");
        // Still answering: the list shows the folder as it is now, the skipped files were
        // reported in one message, and About shows its box.
        QCOMPARE(list()->count(), QDir(folder).entryList({"*.mp3"}, QDir::Files).size());
        QCOMPARE(m_messages.count(), 1);
        QCOMPARE(m_messages.records().first().style, int(toolkit::StyleExclamation));
        click("About");
        QCOMPARE(m_messages.count(), 2);
    }
};

void TestFaultDrills::batchUnderFaults()
{
    QFETCH(int, mode);
    const QString folder = m_folder->path();
    QRandomGenerator random(2026);
    Files originals;
    for (int i = 1; i <= 2000; ++i) {
        const QString name = QStringLiteral("Lied %1 - Ein ziemlich langer Titel über Grüße.mp3").arg(i, 4, 10, QChar('0'));
        originals.insert(name, name.toUtf8() + QByteArray(int(random.bounded(64, 4096)), char(random.bounded(256))));
    }
    const QString big = QStringLiteral("Lied 0777 - Der große Sturm über dem Meer.mp3");
    originals.insert(big, QByteArray(200 * 1024, 'S'));
    writeFiles({}, originals);

    Files deleted, inTheWay;
    int n = 0;
    for (auto it = originals.cbegin(); it != originals.cend(); ++it, ++n) {
        if (n % 50 == 7)
            deleted.insert(it.key(), it.value());
        else if (n % 40 == 3 || it.key() == big)
            inTheWay.insert(newName(it.key()), "someone else's file " + QByteArray::number(n));
    }
    run(folder, [&] {
        for (const QString &name : deleted.keys()) // no longer an original
            QVERIFY(QFile::remove(folder + QLatin1Char('/') + name) && originals.remove(name));
        setCopyWriteLimitForTest(64 * 1024); // the disk fills up during the one large copy
        if (mode == SubfolderIsAFile)
            return writeFiles({}, {{QStringLiteral("MOBIX"), "not a folder"}});
        writeFiles("MOBIX/", inTheWay);
    });

    // What each folder holds afterwards, hidden files too: every original keeps its bytes, every
    // copy is whole, and a whole copy refreshes a file in the way in MOBIX, unless the disk ran
    // full during the large copy.
    Files expected = originals, inMobix = inTheWay;
    for (auto it = originals.cbegin(); it != originals.cend(); ++it)
        if (it.key() != big)
            inMobix.insert(newName(it.key()), it.value());
    if (mode == SubfolderIsAFile)
        expected.insert(QStringLiteral("MOBIX"), "not a folder");
    QCOMPARE(readFolder(folder), expected);
    QCOMPARE(readFolder(folder + QStringLiteral("/MOBIX")), mode == Subfolder ? inMobix : Files());
}

QTEST_MAIN(TestFaultDrills)
#include "test_faultdrills.moc"
