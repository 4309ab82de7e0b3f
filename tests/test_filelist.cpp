#include <QTest>

#include "selection/filelist.h"
#include "selection/filtercatalogue.h"
#include "selection/platformdir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString soundHeader = QStringLiteral("-----Sounddateien-----");
const QString imageHeader = QStringLiteral("------Bilddateien------");
const QString separator(32, QLatin1Char('-'));

void writeFile(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("data");
}

// Files are given by name, folders by a name ending in "/".
void populate(const QString &folder, const QStringList &names)
{
    for (const QString &name : names) {
        if (name.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir(folder).mkpath(name));
            writeFile(folder + QLatin1Char('/') + name + QStringLiteral("inner.mp3"));
        } else {
            writeFile(folder + QLatin1Char('/') + name);
        }
    }
}

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void catalogue();
    void matchesFilter_data();
    void matchesFilter();
    void nameParts_data();
    void nameParts();
    void folderForms_data();
    void folderForms();
    void fill_data();
    void fill();
    void askForFolder_data();
    void askForFolder();
    void refillAfterFolderRemoved();
    void linksAndSpecialFiles();
    void nameNotValidUtf8();
    void noCapAt32767();
};

void TestFileList::catalogue()
{
    const QStringList expected = {
        "------Bilddateien------", "*.bmp", "*.gif", "*.jpg", "*.jpeg", "*.png",
        "-----Sounddateien-----", "*.aac", "*.amr", "*.mid", "*.mp3", "*.wav",
        "------Textdateien------", "*.doc", "*.pdf", "*.txt",
        "------Videodateien------", "*.3gp", "*.3gpp", "*.avi", "*.mp4", "*.mpg", "*.mpeg",
        "--------------------------------", "*.*"};
    QCOMPARE(extensionCatalogue(), expected);
    QCOMPARE(extensionCatalogue().at(0).size(), 23);
    QCOMPARE(extensionCatalogue().at(6).size(), 22);
    QCOMPARE(extensionCatalogue().at(12).size(), 23);
    QCOMPARE(extensionCatalogue().at(16).size(), 24);
    QCOMPARE(extensionCatalogue().at(23).size(), 32);
    QCOMPARE(extensionCatalogue().at(DefaultExtensionIndex), soundHeader);
}

void TestFileList::matchesFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("matches");
    QTest::newRow("pattern, other case") << "*.jpg" << "JPG" << true;
    QTest::newRow("pattern, mixed case") << "*.jpg" << "Jpg" << true;
    QTest::newRow("jpg is not jpeg") << "*.jpg" << "jpeg" << false;
    QTest::newRow("filter never lowered") << "*.JPG" << "jpg" << false;
    QTest::newRow("image header jpeg") << imageHeader << "JPEG" << true;
    QTest::newRow("image header gz") << imageHeader << "gz" << false;
    QTest::newRow("image header mp3") << imageHeader << "mp3" << false;
    QTest::newRow("sound header mp3") << soundHeader << "MP3" << true;
    QTest::newRow("sound header wav") << soundHeader << "wav" << true;
    QTest::newRow("sound header png") << soundHeader << "png" << false;
    QTest::newRow("text header txt") << "------Textdateien------" << "TXT" << true;
    QTest::newRow("video header 3gpp") << "------Videodateien------" << "3gpp" << true;
    QTest::newRow("video header doc") << "------Videodateien------" << "doc" << false;
    QTest::newRow("sound header with six hyphens is no header") << "------Sounddateien------" << "mp3" << false;
    QTest::newRow("all files") << "*.*" << "gz" << true;
    QTest::newRow("all files, no extension") << "*.*" << "" << true;
    QTest::newRow("separator line") << separator << "gz" << true;
    QTest::newRow("separator line, no extension") << separator << "" << true;
    QTest::newRow("31 hyphens") << QString(31, QLatin1Char('-')) << "mp3" << false;
    QTest::newRow("empty filter") << "" << "mp3" << false;
    QTest::newRow("empty filter, no extension") << "" << "" << false;
    QTest::newRow("no extension under a pattern") << "*.mp3" << "" << false;
}

void TestFileList::matchesFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, extension);
    QFETCH(bool, matches);
    QCOMPARE(::matchesFilter(filter, extension), matches);
}

void TestFileList::nameParts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "/home/u/Musik/Lied 1.MP3" << "MP3" << "Lied 1" << "/home/u/Musik/";
    QTest::newRow("two dots") << "/m/Bild.2.JPG" << "JPG" << "Bild.2" << "/m/";
    QTest::newRow("dot first") << "/m/.mp3" << "mp3" << "" << "/m/";
    QTest::newRow("no dot") << "/m/README" << "" << "README" << "/m/";
    QTest::newRow("dot in folder only") << "/home/Mu.sik/Lied" << "" << "Lied" << "/home/Mu.sik/";
    QTest::newRow("ends in a dot") << "/m/name." << "" << "name" << "/m/";
    QTest::newRow("name alone") << "archive.tar.gz" << "gz" << "archive.tar" << "";
    QTest::newRow("in the root") << "/a.b" << "b" << "a" << "/";
}

void TestFileList::nameParts()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, baseName);
    QFETCH(QString, folder);
    QCOMPARE(GetFileExtension(path), extension);
    QCOMPARE(GetFileBaseName(path), baseName);
    QCOMPARE(GetFileFolder(path), folder);
}

void TestFileList::folderForms_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("withSeparator");
    QTest::addColumn<QString>("withoutSeparator");
#ifdef Q_OS_WIN
    QTest::newRow("drive root") << "C:\\" << "C:\\" << "C:\\";
    QTest::newRow("drive alone") << "C:" << "C:\\" << "C:\\";
    QTest::newRow("drive root, slash") << "C:/" << "C:\\" << "C:\\";
    QTest::newRow("folder") << "C:\\Musik" << "C:\\Musik\\" << "C:\\Musik";
    QTest::newRow("folder with separators") << "C:/Musik//" << "C:\\Musik\\" << "C:\\Musik";
#else
    QTest::newRow("root") << "/" << "/" << "/";
    QTest::newRow("root twice") << "//" << "/" << "/";
    QTest::newRow("folder") << "/home/u" << "/home/u/" << "/home/u";
    QTest::newRow("folder with separator") << "/home/u/" << "/home/u/" << "/home/u";
    QTest::newRow("folder with separators") << "/home/u//" << "/home/u/" << "/home/u";
    QTest::newRow("backslash is a name character") << "/m/a\\" << "/m/a\\/" << "/m/a\\";
#endif
    QTest::newRow("empty") << "" << "" << "";
}

void TestFileList::folderForms()
{
    QFETCH(QString, folder);
    QFETCH(QString, withSeparator);
    QFETCH(QString, withoutSeparator);
    QCOMPARE(folderWithSeparator(folder), withSeparator);
    QCOMPARE(folderWithoutSeparator(folder), withoutSeparator);
}

void TestFileList::fill_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("extensions");
    QTest::addColumn<bool>("folderCurrent");

    const QStringList musik = {"a.JPG", "b.jpeg", "c.txt", "archive.tar.gz"};
    QTest::newRow("one pattern") << musik << "*.jpg" << QStringList{"a.JPG"} << QStringList{"JPG"} << true;
    QTest::newRow("image header") << musik << imageHeader << QStringList{"a.JPG", "b.jpeg"}
                                  << QStringList{"JPG", "jpeg"} << true;
    const QStringList all = {"a.JPG", "archive.tar.gz", "b.jpeg", "c.txt"};
    const QStringList allExtensions = {"JPG", "gz", "jpeg", "txt"};
    QTest::newRow("all files") << musik << "*.*" << all << allExtensions << true;
    QTest::newRow("separator line") << musik << separator << all << allExtensions << true;
    QTest::newRow("dot first, sound header") << QStringList{".mp3"} << soundHeader << QStringList{".mp3"}
                                             << QStringList{"mp3"} << true;
    QTest::newRow("dot first, pattern") << QStringList{".mp3"} << "*.mp3" << QStringList{".mp3"}
                                        << QStringList{"mp3"} << true;
    QTest::newRow("no dot, all files") << QStringList{"README", "x.mp3"} << "*.*" << QStringList{"README", "x.mp3"}
                                       << QStringList{"", "mp3"} << true;
    QTest::newRow("no dot, sound header") << QStringList{"README", "x.mp3"} << soundHeader << QStringList{"x.mp3"}
                                          << QStringList{"mp3"} << true;
    QTest::newRow("hidden files") << QStringList{".hidden.mp3", "shown.mp3"} << soundHeader
                                  << QStringList{".hidden.mp3", "shown.mp3"} << QStringList{"mp3", "mp3"} << true;
    QTest::newRow("subfolders skipped") << QStringList{"sub.mp3/", "top.mp3"} << "*.*" << QStringList{"top.mp3"}
                                        << QStringList{"mp3"} << true;
    QTest::newRow("name order, numbers and case")
        << QStringList{"Track 10.mp3", "Track 2.mp3", "track 1.mp3", "Track 3.MP3", "Album.mp3"} << soundHeader
        << QStringList{"Album.mp3", "track 1.mp3", "Track 2.mp3", "Track 3.MP3", "Track 10.mp3"}
        << QStringList{"mp3", "mp3", "mp3", "MP3", "mp3"} << true;
    QTest::newRow("none passes the filter") << QStringList{"a.txt", "b.doc"} << soundHeader << QStringList{}
                                            << QStringList{} << true;
    QTest::newRow("empty filter text") << QStringList{"a.mp3"} << "" << QStringList{} << QStringList{} << true;
    QTest::newRow("only subfolders") << QStringList{"x/", "y.mp3/"} << "*.*" << QStringList{} << QStringList{} << false;
    QTest::newRow("empty folder") << QStringList{} << "*.*" << QStringList{} << QStringList{} << false;
}

void TestFileList::fill()
{
    QFETCH(QStringList, files);
    QFETCH(QString, filter);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, extensions);
    QFETCH(bool, folderCurrent);

    // A "." in the folder's name must not leak into any name part.
    QTemporaryDir temp;
    const QString folder = temp.path() + QStringLiteral("/Mu.sik");
    QVERIFY(QDir().mkpath(folder));
    populate(folder, files);

    FileListData lists;
    lists.entries = QStringList{"stale"};
    lists.extensions = QStringList{"old"};
    lists.nativeNames = {"stale.old"};
    int asked = 0;
    const QString result = FillFileList(lists, filter, false, folder, [&] { ++asked; return QString(); });

    QCOMPARE(asked, 0);
    QCOMPARE(result, folderCurrent ? folder + QLatin1Char('/') : QString());
    QCOMPARE(lists.entries, entries);
    QCOMPARE(lists.extensions, extensions);
    QCOMPARE(lists.count(), entries.size());
    QCOMPARE(lists.nativeNames.size(), entries.size());
    for (int i = 0; i < lists.count(); ++i) {
        QCOMPARE(decodeNativeName(lists.nativeNames.at(i)), entries.at(i));
        // The batch run's source path: the folder, the entry's text, the same file.
        QVERIFY(QFile::exists(result + lists.entries.at(i)));
    }
}

void TestFileList::askForFolder_data()
{
    QTest::addColumn<bool>("choose");
    QTest::addColumn<bool>("trailingSeparator");
    QTest::newRow("chosen folder") << true << false;
    QTest::newRow("chosen folder with separator") << true << true;
    QTest::newRow("cancelled after a folder was current") << false << false;
}

void TestFileList::askForFolder()
{
    QFETCH(bool, choose);
    QFETCH(bool, trailingSeparator);

    QTemporaryDir temp;
    populate(temp.path(), {"a.mp3", "b.wav", "c.txt"});
    QTemporaryDir other;
    populate(other.path(), {"current.mp3"});

    FileListData lists;
    const QString current = FillFileList(lists, soundHeader, false, other.path(), {});
    QCOMPARE(current, other.path() + QLatin1Char('/'));
    QCOMPARE(lists.count(), 1);

    int asked = 0;
    const QString chosen = temp.path() + (trailingSeparator ? QStringLiteral("/") : QString());
    const QString result = FillFileList(lists, soundHeader, true, current, [&] {
        ++asked;
        return choose ? chosen : QString();
    });
    QCOMPARE(asked, 1);
    if (choose) {
        QCOMPARE(result, temp.path() + QLatin1Char('/'));
        QCOMPARE(lists.entries, (QStringList{"a.mp3", "b.wav"}));
    } else {
        QCOMPARE(result, QString());
        QCOMPARE(lists.count(), 0);
        QCOMPARE(lists.extensions.size(), 0);
        QCOMPARE(lists.nativeNames.size(), 0);
    }

    // Without a way to ask, asking counts as a cancel.
    QCOMPARE(FillFileList(lists, soundHeader, true, current, {}), QString());
    QCOMPARE(lists.count(), 0);
}

void TestFileList::refillAfterFolderRemoved()
{
    QTemporaryDir temp;
    const QString folder = temp.path() + QStringLiteral("/gone");
    QVERIFY(QDir().mkpath(folder));
    populate(folder, {"a.mp3"});

    FileListData lists;
    const QString current = FillFileList(lists, soundHeader, false, folder, {});
    QCOMPARE(lists.count(), 1);
    QVERIFY(QDir(folder).removeRecursively());

    QCOMPARE(FillFileList(lists, "*.*", false, current, {}), QString());
    QCOMPARE(lists.count(), 0);
    QCOMPARE(lists.nativeNames.size(), 0);
    // An empty folder path, as after a cancelled dialog, opens nothing.
    QCOMPARE(FillFileList(lists, "*.*", false, QString(), {}), QString());
}

void TestFileList::linksAndSpecialFiles()
{
#ifdef Q_OS_WIN
    QSKIP("Symbolic links and pipes need POSIX");
#else
    QTemporaryDir temp;
    const QString folder = temp.path() + QStringLiteral("/list");
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/realdir")));
    writeFile(temp.path() + QStringLiteral("/target.mp3"));
    QVERIFY(QFile::link(temp.path() + QStringLiteral("/target.mp3"), folder + QStringLiteral("/link.mp3")));
    QVERIFY(QFile::link(temp.path() + QStringLiteral("/missing.mp3"), folder + QStringLiteral("/dangling.mp3")));
    QVERIFY(QFile::link(folder + QStringLiteral("/realdir"), folder + QStringLiteral("/folderlink.mp3")));
    QCOMPARE(mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe.mp3")).constData(), 0600), 0);
    writeFile(folder + QStringLiteral("/plain.mp3"));

    FileListData lists;
    QCOMPARE(FillFileList(lists, "*.*", false, folder, {}), folder + QLatin1Char('/'));
    QCOMPARE(lists.entries, (QStringList{"link.mp3", "plain.mp3"}));

    // Only dangling links and a pipe: the folder holds no file.
    QVERIFY(QFile::remove(folder + QStringLiteral("/link.mp3")));
    QVERIFY(QFile::remove(folder + QStringLiteral("/plain.mp3")));
    QCOMPARE(FillFileList(lists, "*.*", false, folder, {}), QString());
    QCOMPARE(lists.count(), 0);
#endif
}

void TestFileList::nameNotValidUtf8()
{
#ifdef Q_OS_WIN
    QSKIP("Windows names are UTF-16");
#else
    QTemporaryDir temp;
    const QByteArray latin1Name("Lied \xe4 1.mp3");
    const QByteArray path = QFile::encodeName(temp.path()) + '/' + latin1Name;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "abc", 3), ssize_t(3));
    ::close(fd);
    populate(temp.path(), {"Lied 2.mp3"});

    FileListData lists;
    QCOMPARE(FillFileList(lists, soundHeader, false, temp.path(), {}), temp.path() + QLatin1Char('/'));
    QCOMPARE(lists.count(), 2);
    const qsizetype index = lists.nativeNames.indexOf(latin1Name);
    QVERIFY(index >= 0);
    QVERIFY(lists.entries.at(index).contains(QChar::ReplacementCharacter));
    QCOMPARE(lists.extensions.at(index), QStringLiteral("mp3"));
    QCOMPARE(lists.entries.at(1 - index), QStringLiteral("Lied 2.mp3"));
    QCOMPARE(lists.nativeNames.at(1 - index), QByteArray("Lied 2.mp3"));
    // The kept native name reaches the file; the shown name would not.
    const QByteArray again = QFile::encodeName(temp.path()) + '/' + lists.nativeNames.at(index);
    QCOMPARE(::access(again.constData(), F_OK), 0);
    QVERIFY(!QFile::exists(temp.path() + QLatin1Char('/') + lists.entries.at(index)));
    // Qt cannot see the name, so QTemporaryDir could not remove it.
    QCOMPARE(::unlink(path.constData()), 0);
#endif
}

void TestFileList::noCapAt32767()
{
    QTemporaryDir temp;
    const int count = 32767 + 100;
    for (int i = 0; i < count; ++i) {
        QFile file(temp.path() + QStringLiteral("/Track %1.mp3").arg(i));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    FileListData lists;
    QCOMPARE(FillFileList(lists, soundHeader, false, temp.path(), {}), temp.path() + QLatin1Char('/'));
    QCOMPARE(lists.count(), count);
    QCOMPARE(lists.nativeNames.size(), count);
    QCOMPARE(lists.entries.first(), QStringLiteral("Track 0.mp3"));
    QCOMPARE(lists.entries.at(2), QStringLiteral("Track 2.mp3"));
    QCOMPARE(lists.entries.last(), QStringLiteral("Track %1.mp3").arg(count - 1));
}

QTEST_GUILESS_MAIN(TestFileList)
#include "test_filelist.moc"
