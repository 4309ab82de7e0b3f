#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "engine/filescopy.h"
#include "engine/platformfs.h"

namespace {

QByteArray someBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

NativeName native(const QString &path)
{
    return QFile::encodeName(path);
}

struct stat linkStat(const QString &path)
{
    struct stat st = {};
    ::lstat(native(path).constData(), &st);
    return st;
}

QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({".kappwerk-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

} // namespace

class TestFilesCopy : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void copiesBytesAndFacts_data();
    void copiesBytesAndFacts();
    void replacesOnlyWhenAsked_data();
    void replacesOnlyWhenAsked();
    void failedCopyLeavesNoTrace_data();
    void failedCopyLeavesNoTrace();
    void neverCopiesOntoItself_data();
    void neverCopiesOntoItself();
    void copiesOnlyRegularFiles_data();
    void copiesOnlyRegularFiles();
    void fullFileSystem();
    void renameNeverReplaces_data();
    void renameNeverReplaces();
};

void TestFilesCopy::cleanup()
{
    setCopyWriteLimitForTest(-1);
    setCopyMethodForTest(CopyMethod::Fastest);
    setRenameByLinkForTest(false);
    setBeforePublishForTest({});
}

void TestFilesCopy::copiesBytesAndFacts_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<CopyMethod>("method");
    const QList<std::pair<const char *, CopyMethod>> methods = {
        {"fastest", CopyMethod::Fastest}, {"sendfile", CopyMethod::SendFile}, {"read/write", CopyMethod::ReadWrite}};
    for (const auto &[name, method] : methods) {
        QTest::addRow("%s, empty", name) << 0 << method;
        QTest::addRow("%s, one byte", name) << 1 << method;
        QTest::addRow("%s, beyond the buffer", name) << (3 << 20) + 7 << method;
    }
}

void TestFilesCopy::copiesBytesAndFacts()
{
    QFETCH(int, size);
    QFETCH(CopyMethod, method);
    setCopyMethodForTest(method);
    QTemporaryDir dir;
    const QString source = dir.filePath("source.mp3");
    const QByteArray bytes = someBytes(size, 7);
    writeFile(source, bytes);
    QVERIFY(::chmod(native(source).constData(), 0640) == 0);
    const struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    QVERIFY(::utimensat(AT_FDCWD, native(source).constData(), times, 0) == 0);

    const QString target = dir.filePath("target.mp3");
    QVERIFY(CopyFileTo(native(source), native(target), false));
    QCOMPARE(readFile(target), bytes);
    QCOMPARE(readFile(source), bytes);
    const struct stat st = linkStat(target);
    QCOMPARE(st.st_mode & 07777, 0640u);
    QCOMPARE(st.st_mtim.tv_sec, 1200000000);
    QCOMPARE(st.st_mtim.tv_nsec, 987654321);
    QVERIFY(leftovers(dir.path()).isEmpty());
}

void TestFilesCopy::replacesOnlyWhenAsked_data()
{
    QTest::addColumn<QString>("existing"); // "", "file", "dangling link" or "late file"
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<bool>("copied");
    QTest::newRow("free name, no replace") << "" << false << true;
    QTest::newRow("free name, replace") << "" << true << true;
    QTest::newRow("file kept") << "file" << false << false;
    QTest::newRow("file replaced") << "file" << true << true;
    QTest::newRow("dangling link kept") << "dangling link" << false << false;
    QTest::newRow("dangling link replaced, never written through") << "dangling link" << true << true;
    QTest::newRow("file appearing during the copy kept") << "late file" << false << false;
    QTest::newRow("file appearing during the copy replaced") << "late file" << true << true;
}

void TestFilesCopy::replacesOnlyWhenAsked()
{
    QFETCH(QString, existing);
    QFETCH(bool, overwrite);
    QFETCH(bool, copied);
    QTemporaryDir dir;
    const QByteArray bytes = someBytes(300000, 1);
    const QByteArray older = someBytes(1000, 2);
    writeFile(dir.filePath("a.mp3"), bytes);
    const QString target = dir.filePath("b.mp3");
    const QString linkGoal = dir.filePath("elsewhere.mp3");
    if (existing == "file")
        writeFile(target, older);
    else if (existing == "dangling link")
        QVERIFY(QFile::link(linkGoal, target));
    else if (existing == "late file")
        setBeforePublishForTest([&](const NativeName &name) { writeFile(QFile::decodeName(name), older); });

    QCOMPARE(CopyFileTo(native(dir.filePath("a.mp3")), native(target), overwrite), copied);
    QCOMPARE(readFile(dir.filePath("a.mp3")), bytes);
    QVERIFY(!QFileInfo::exists(linkGoal));
    QVERIFY(leftovers(dir.path()).isEmpty());
    if (copied) {
        QVERIFY(S_ISREG(linkStat(target).st_mode));
        QCOMPARE(readFile(target), bytes);
    } else if (existing != "dangling link") {
        QCOMPARE(readFile(target), older);
    } else {
        QVERIFY(S_ISLNK(linkStat(target).st_mode));
    }
}

void TestFilesCopy::failedCopyLeavesNoTrace_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<CopyMethod>("method");
    QTest::addColumn<bool>("copied");
    QTest::newRow("full at once, old target kept") << 0 << true << CopyMethod::Fastest << false;
    QTest::newRow("full halfway, old target kept") << 150000 << true << CopyMethod::Fastest << false;
    QTest::newRow("full halfway, no partial file") << 150000 << false << CopyMethod::Fastest << false;
    QTest::newRow("full halfway, sendfile") << 150000 << true << CopyMethod::SendFile << false;
    QTest::newRow("full halfway, read/write") << 150000 << true << CopyMethod::ReadWrite << false;
    QTest::newRow("one byte short") << 299999 << true << CopyMethod::Fastest << false;
    QTest::newRow("exactly enough room") << 300000 << true << CopyMethod::Fastest << true;
}

void TestFilesCopy::failedCopyLeavesNoTrace()
{
    QFETCH(int, limit);
    QFETCH(bool, targetExists);
    QFETCH(CopyMethod, method);
    QFETCH(bool, copied);
    QTemporaryDir dir;
    const QByteArray bytes = someBytes(300000, 3);
    const QByteArray older = someBytes(5000, 4);
    writeFile(dir.filePath("a.mp3"), bytes);
    const QString target = dir.filePath("MOBIX.mp3");
    if (targetExists)
        writeFile(target, older);

    setCopyMethodForTest(method);
    setCopyWriteLimitForTest(limit);
    QCOMPARE(CopyFileTo(native(dir.filePath("a.mp3")), native(target), true), copied);
    QCOMPARE(readFile(dir.filePath("a.mp3")), bytes);
    QCOMPARE(readFile(target), copied ? bytes : targetExists ? older : QByteArray("<missing>"));
    QVERIFY(leftovers(dir.path()).isEmpty());
}

void TestFilesCopy::neverCopiesOntoItself_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("overwrite");
    for (const char *kind : {"same name", "hard link", "link"}) {
        QTest::addRow("%s, replace", kind) << kind << true;
        QTest::addRow("%s, no replace", kind) << kind << false;
    }
}

void TestFilesCopy::neverCopiesOntoItself()
{
    QFETCH(QString, kind);
    QFETCH(bool, overwrite);
    QTemporaryDir dir;
    const QString source = dir.filePath("a.mp3");
    const QByteArray bytes = someBytes(4096, 5);
    writeFile(source, bytes);
    QString target = source;
    if (kind == "hard link") {
        target = dir.filePath("b.mp3");
        QVERIFY(::link(native(source).constData(), native(target).constData()) == 0);
    } else if (kind == "link") {
        target = dir.filePath("b.mp3");
        QVERIFY(QFile::link(source, target));
    }
    const struct stat before = linkStat(target);

    QVERIFY(!CopyFileTo(native(source), native(target), overwrite));
    const struct stat after = linkStat(target);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(readFile(source), bytes);
    QVERIFY(leftovers(dir.path()).isEmpty());
}

void TestFilesCopy::copiesOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("pipe, never blocks") << "pipe";
    QTest::newRow("folder") << "folder";
    QTest::newRow("vanished") << "vanished";
    QTest::newRow("dangling link") << "dangling link";
}

void TestFilesCopy::copiesOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString source = dir.filePath("a.mp3");
    if (kind == "pipe")
        QVERIFY(::mkfifo(native(source).constData(), 0644) == 0);
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir("a.mp3"));
    else if (kind == "dangling link")
        QVERIFY(QFile::link(dir.filePath("gone.mp3"), source));

    QVERIFY(!CopyFileTo(native(source), native(dir.filePath("b.mp3")), true));
    QVERIFY(!QFileInfo::exists(dir.filePath("b.mp3")));
    QVERIFY(leftovers(dir.path()).isEmpty());
}

void TestFilesCopy::fullFileSystem()
{
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath("small");
    QVERIFY(QDir(dir.path()).mkdir("small"));
    if (::mount("kappwerk-test", native(mountPoint).constData(), "tmpfs", 0, "size=128k") != 0)
        QSKIP("no small file system can be mounted here");
    const QByteArray big = someBytes(400000, 6);
    const QByteArray small = someBytes(20000, 8);
    const QByteArray older = someBytes(3000, 9);
    writeFile(dir.filePath("big.mp3"), big);
    writeFile(dir.filePath("small.mp3"), small);
    writeFile(mountPoint + "/big.mp3", older);

    const bool bigCopied = CopyFileTo(native(dir.filePath("big.mp3")), native(mountPoint + "/big.mp3"), true);
    // Across file systems the fast copy answers EXDEV and the fallback does the work.
    const bool smallCopied = CopyFileTo(native(dir.filePath("small.mp3")), native(mountPoint + "/small.mp3"), true);
    const QByteArray keptOlder = readFile(mountPoint + "/big.mp3");
    const QByteArray smallCopy = readFile(mountPoint + "/small.mp3");
    const QStringList left = leftovers(mountPoint);
    ::umount(native(mountPoint).constData());

    QVERIFY(!bigCopied);
    QCOMPARE(keptOlder, older);
    QVERIFY(left.isEmpty());
    QVERIFY(smallCopied);
    QCOMPARE(smallCopy, small);
    QCOMPARE(readFile(dir.filePath("big.mp3")), big);
}

void TestFilesCopy::renameNeverReplaces_data()
{
    QTest::addColumn<QString>("existing"); // "", "file" or "dangling link"
    QTest::addColumn<bool>("byLink");
    QTest::addColumn<bool>("sourceIsLink");
    for (bool byLink : {false, true}) {
        const char *how = byLink ? "link and unlink" : "no-replace rename";
        QTest::addRow("%s, free name", how) << "" << byLink << false;
        QTest::addRow("%s, file there", how) << "file" << byLink << false;
        QTest::addRow("%s, dangling link there", how) << "dangling link" << byLink << false;
        QTest::addRow("%s, a link moves as a link", how) << "" << byLink << true;
    }
}

void TestFilesCopy::renameNeverReplaces()
{
    QFETCH(QString, existing);
    QFETCH(bool, byLink);
    QFETCH(bool, sourceIsLink);
    setRenameByLinkForTest(byLink);
    QTemporaryDir dir;
    const QByteArray bytes = someBytes(1000, 10);
    const QByteArray other = someBytes(1000, 11);
    writeFile(dir.filePath("real.mp3"), bytes);
    const QString source = sourceIsLink ? dir.filePath("a.mp3") : dir.filePath("real.mp3");
    if (sourceIsLink)
        QVERIFY(QFile::link(dir.filePath("real.mp3"), source));
    const QString target = dir.filePath("b.mp3");
    if (existing == "file")
        writeFile(target, other);
    else if (existing == "dangling link")
        QVERIFY(QFile::link(dir.filePath("elsewhere.mp3"), target));

    const bool renamed = renameNoReplace(native(source), native(target));
    QCOMPARE(renamed, existing.isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere.mp3")));
    QCOMPARE(readFile(renamed ? target : source), bytes);
    QCOMPARE(QFileInfo::exists(source), !renamed);
    if (renamed)
        QCOMPARE(S_ISLNK(linkStat(target).st_mode), sourceIsLink);
    else if (existing == "file")
        QCOMPARE(readFile(target), other);
    else
        QVERIFY(S_ISLNK(linkStat(target).st_mode));
}

QTEST_GUILESS_MAIN(TestFilesCopy)
#include "test_filescopy.moc"
