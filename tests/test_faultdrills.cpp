// Fault drills: batches over real folders in which the world changes between the listing and
// the click on "Dateinamen ändern". Whatever goes wrong, no original loses a byte, every copy
// that exists is whole, no temporary file is left behind and the window still answers.
#include "app/mainwindow.h"
#include "engine/platformfs.h"
#include "selection/folderpicker.h"
#include "testsupport.h"
#include "toolkit/checklist.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace {

enum class Mode { Subfolder, Beside, Rename };

const QString Allowed = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");

// The name the default cut mode gives a file, worked out independently of the program.
QString expectedName(const QString &name)
{
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    QString base;
    for (QChar c : name.left(dot))
        if (Allowed.contains(c))
            base.append(c);
    return base.left(30) + name.mid(dot);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

Q_DECLARE_METATYPE(Mode)

class TestFaultDrills : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void batchUnderFaults_data();
    void batchUnderFaults();
    void realFullDisk();

private:
    std::unique_ptr<Main> openWindow(const QString &folder);
    void tickAllAndCut(Main &window);
    void checkStillResponds(Main &window, int listed);

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<MessageRecorder> m_messages;
};

void TestFaultDrills::cleanup()
{
    setCopyWriteLimitForTest(-1);
    setFolderChooser({});
    m_messages.reset();
    m_settings.reset();
    m_config.reset();
}

std::unique_ptr<Main> TestFaultDrills::openWindow(const QString &folder)
{
    m_config = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<QSettings>(m_config->filePath(QStringLiteral("k.conf")), QSettings::IniFormat);
    m_messages = std::make_unique<MessageRecorder>();
    auto window = std::make_unique<Main>(*m_settings);
    window->show();
    setFolderChooser([folder](const BrowseRequest &) { return folder; });
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("Open")), Qt::LeftButton);
    return window;
}

void TestFaultDrills::tickAllAndCut(Main &window)
{
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("AllFiles")), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("Cut")), Qt::LeftButton);
}

void TestFaultDrills::checkStillResponds(Main &window, int listed)
{
    QVERIFY(window.isVisible());
    QCOMPARE(window.findChild<toolkit::CheckList *>(QStringLiteral("FileList"))->count(), listed);
    m_messages->clear();
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("About")), Qt::LeftButton);
    QCOMPARE(m_messages->count(), 1);
}

void TestFaultDrills::batchUnderFaults_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<bool>("subfolderIsAFile");
    QTest::newRow("copies into MOBIX") << Mode::Subfolder << false;
    QTest::newRow("MOBIX replaced by a file") << Mode::Subfolder << true;
    QTest::newRow("copies beside the originals") << Mode::Beside << false;
    QTest::newRow("originals renamed") << Mode::Rename << false;
}

void TestFaultDrills::batchUnderFaults()
{
    QFETCH(Mode, mode);
    QFETCH(bool, subfolderIsAFile);

    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString mobix = folder + QStringLiteral("/MOBIX");
    QRandomGenerator random(2026);
    QHash<QString, QByteArray> originals;
    const QString big = QStringLiteral("Lied 0777 - Der große Sturm über dem Meer.mp3");
    for (int i = 1; i <= 2000; ++i) {
        const QString name = QStringLiteral("Lied %1 - Ein ziemlich langer Titel über Grüße.mp3")
                                 .arg(i, 4, 10, QLatin1Char('0'));
        QByteArray content = name.toUtf8() + '\n';
        content.append(QByteArray(int(random.bounded(64, 4096)), char(random.bounded(256))));
        originals.insert(name, content);
    }
    originals.insert(big, big.toUtf8() + QByteArray(200 * 1024, 'S'));
    for (auto it = originals.cbegin(); it != originals.cend(); ++it)
        writeFile(folder + QLatin1Char('/') + it.key(), it.value());

    std::unique_ptr<Main> window = openWindow(folder);
    window->findChild<QCheckBox *>(QStringLiteral("Overwrite"))->setChecked(mode == Mode::Rename);
    window->findChild<QCheckBox *>(QStringLiteral("Subdirectory"))->setChecked(mode == Mode::Subfolder);
    QCOMPARE(window->findChild<toolkit::CheckList *>(QStringLiteral("FileList"))->count(), 2001);

    // The world changes between the listing and the click.
    const QString targetFolder = mode == Mode::Subfolder ? mobix : folder;
    if (mode == Mode::Subfolder && !subfolderIsAFile)
        QVERIFY(QDir(folder).mkdir(QStringLiteral("MOBIX")));
    if (subfolderIsAFile)
        writeFile(mobix, "I am not a folder");
    QHash<QString, QByteArray> precreated;
    QStringList deleted;
    int n = 0;
    for (auto it = originals.cbegin(); it != originals.cend(); ++it, ++n) {
        if (n % 50 == 7) {
            QVERIFY(QFile::remove(folder + QLatin1Char('/') + it.key()));
            deleted.append(it.key());
        } else if (n % 40 == 3 && !subfolderIsAFile) {
            const QByteArray content = "someone else's file " + QByteArray::number(n);
            writeFile(targetFolder + QLatin1Char('/') + expectedName(it.key()), content);
            precreated.insert(expectedName(it.key()), content);
        }
    }
    precreated.insert(expectedName(big), "an older copy of the storm");
    if (!subfolderIsAFile)
        writeFile(targetFolder + QLatin1Char('/') + expectedName(big), precreated.value(expectedName(big)));
    // The disk fills up during the copy of the one large file.
    setCopyWriteLimitForTest(64 * 1024);

    tickAllAndCut(*window);

    // No original has lost a byte: it is where it was, or under its new name after a rename.
    for (auto it = originals.cbegin(); it != originals.cend(); ++it) {
        if (deleted.contains(it.key()))
            continue;
        const QString at = folder + QLatin1Char('/') + it.key();
        const QString renamed = folder + QLatin1Char('/') + expectedName(it.key());
        if (mode == Mode::Rename && !QFile::exists(at))
            QCOMPARE(readFile(renamed), it.value());
        else
            QCOMPARE(readFile(at), it.value());
    }
    QHash<QString, QByteArray> byNewName;
    for (auto it = originals.cbegin(); it != originals.cend(); ++it)
        byNewName.insert(expectedName(it.key()), it.value());
    // Files that were in the way: kept in the folder with the originals; in MOBIX an older
    // copy is refreshed, but never by a partial one.
    for (auto it = precreated.cbegin(); it != precreated.cend(); ++it) {
        if (subfolderIsAFile)
            break;
        const QByteArray now = readFile(targetFolder + QLatin1Char('/') + it.key());
        if (mode == Mode::Subfolder && it.key() != expectedName(big))
            QVERIFY(now == it.value() || byNewName.value(it.key()) == now);
        else
            QCOMPARE(now, it.value());
    }
    // Every copy that exists is whole, and is the copy of the file it is named after.
    if (mode != Mode::Rename) {
        const QStringList present = subfolderIsAFile ? QStringList() : filesIn(targetFolder);
        int copies = 0;
        for (const QString &name : present) {
            QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(QStringLiteral("left behind: ") + name));
            if (originals.contains(name) || precreated.contains(name))
                continue;
            ++copies;
            QVERIFY2(byNewName.contains(name), qPrintable(name));
            QCOMPARE(readFile(targetFolder + QLatin1Char('/') + name), byNewName.value(name));
        }
        const int expectedCopies = subfolderIsAFile ? 0 : 2001 - int(deleted.size()) - int(precreated.size());
        QCOMPARE(copies, expectedCopies);
    }
    if (subfolderIsAFile)
        QCOMPARE(readFile(mobix), QByteArray("I am not a folder"));

    const int listed = int(filesIn(folder).filter(QStringLiteral(".mp3")).size());
    checkStillResponds(*window, listed);
}

void TestFaultDrills::realFullDisk()
{
#ifdef Q_OS_LINUX
    QTemporaryDir dir;
    const QString folder = dir.path();
    // A small file system of its own, so the disk really runs full (root only).
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=3m") != 0)
        QSKIP("cannot mount a small file system here");
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(folder)};

    QHash<QString, QByteArray> originals;
    for (int i = 1; i <= 20; ++i)
        originals.insert(QStringLiteral("Klein %1.mp3").arg(i), QByteArray(3000 + i, char('a' + i)));
    originals.insert(QStringLiteral("Groß.mp3"), QByteArray(1600 * 1024, 'G'));
    for (auto it = originals.cbegin(); it != originals.cend(); ++it)
        writeFile(folder + QLatin1Char('/') + it.key(), it.value());
    // An older copy of the large file waits in MOBIX: a failed copy must leave it as it was.
    QVERIFY(QDir(folder).mkdir(QStringLiteral("MOBIX")));
    writeFile(folder + QStringLiteral("/MOBIX/Gro.mp3"), "older copy");

    std::unique_ptr<Main> window = openWindow(folder);
    tickAllAndCut(*window);

    for (auto it = originals.cbegin(); it != originals.cend(); ++it)
        QCOMPARE(readFile(folder + QLatin1Char('/') + it.key()), it.value());
    QCOMPARE(readFile(folder + QStringLiteral("/MOBIX/Gro.mp3")), QByteArray("older copy"));
    const QStringList copies = filesIn(folder + QStringLiteral("/MOBIX"));
    QCOMPARE(copies.size(), 21);
    for (const QString &name : copies) {
        if (name != QStringLiteral("Gro.mp3"))
            QCOMPARE(readFile(folder + QStringLiteral("/MOBIX/") + name), originals.value(name));
    }
    checkStillResponds(*window, 21);
#else
    QSKIP("needs a mountable small file system");
#endif
}

QTEST_MAIN(TestFaultDrills)
#include "test_faultdrills.moc"
