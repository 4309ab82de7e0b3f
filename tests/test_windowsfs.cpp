// The engine's Windows calls on real folders, under Windows or Wine: renames that never replace,
// a copy published over an older one only while that is unchanged, the flush before a copy gets
// its name, folders deeper than MAX_PATH, the options in the registry, and the names Windows
// refuses or changes.
#include <windows.h>

#include <QSettings>
#include <QTest>

#include "engine/journalfile.h"
#include "engine/platformfs.h"
#include "runtable.h"
#include "settings/optionsstore.h"

class TestWindowsFs : public QObject
{
    Q_OBJECT
private slots:
    void calls_data();
    void calls();
    void longPaths();
    void names_data();
    void names();
    void settingsInRegistry();
};

// Each row: one step on a folder holding a.mp3 and b.mp3, the error it gives (an errno value,
// as on every system) and the folder after it, where a temporary file would show.
void TestWindowsFs::calls_data()
{
    columns<QString, int, QString>("step", "error", "after");
    QTest::newRow("rename never replaces") << "rename a.mp3 b.mp3" << EEXIST << "a.mp3,b.mp3";
    QTest::newRow("rename never replaces another case") << "rename a.mp3 B.MP3" << EEXIST << "a.mp3,b.mp3";
    QTest::newRow("older copy changed meanwhile") << "publish changed b.mp3" << EEXIST << "a.mp3,b.mp3=changed";
    QTest::newRow("older copy gone meanwhile") << "publish gone b.mp3" << 0 << "a.mp3,b.mp3=fresh";
    // The flush reports its failure, here on a file opened only for reading.
    QTest::newRow("flush failure reported") << "flush a.mp3" << EACCES << "a.mp3,b.mp3";
    // While a run holds its journal, no other program may write to it or cut it short.
    QTest::newRow("a held journal takes no other writer") << "journal j" << EACCES << "a.mp3,b.mp3";
}

void TestWindowsFs::calls()
{
    QFETCH(QString, step);
    QFETCH(int, error);
    QFETCH(QString, after);
    QTemporaryDir dir;
    const QString path = dir.path() + '/';
    QVERIFY(writeOrigin(path + "a.mp3", "a.mp3") && writeOrigin(path + "b.mp3", "b.mp3"));
    Folder folder;
    QCOMPARE(openFolder(encodeNativeName(dir.path()), &folder), 0);
    const QStringList words = step.split(' ');
    int got = -1;
    if (words[0] == "rename") {
        got = renameNoReplaceAt(folder, words[1], folder, words[2]);
    } else if (words[0] == "publish") {
        FileFacts older;
        if (words[1] != "new")
            QCOMPARE(statAt(folder, words[2], false, &older), 0);
        if (words[1] == "changed")
            QVERIFY(writeOrigin(path + words[2], "changed"));
        if (words[1] == "gone")
            QVERIFY(QFile::remove(path + words[2]));
        TempFile temp;
        QCOMPARE(createTempAt(folder, &temp), 0);
        // What writeOrigin writes, into the engine's file.
        const QByteArray fresh = bytesOf("fresh");
        DWORD put = 0;
        QVERIFY(WriteFile(reinterpret_cast<HANDLE>(temp.handle), fresh.constData(), DWORD(fresh.size()), &put, nullptr));
        QCOMPARE(put, DWORD(fresh.size()));
        QCOMPARE(checkWritten(folder, temp.handle), 0);
        got = publishTemp(folder, &temp, words[2], words[1] == "new" ? nullptr : &older);
    } else if (words[0] == "flush") {
        FileHandle file = noFileHandle;
        FileFacts facts;
        QCOMPARE(openRegularFileAt(folder, words[1], &file, &facts), 0);
        got = checkWritten(folder, file);
        QCOMPARE(closeFile(file), 0);
    } else if (words[0] == "journal") {
        JournalFile journal;
        QCOMPARE(journal.open(path + words[1], true), 0);
        got = QFile(path + words[1]).open(QIODevice::ReadWrite) ? 0 : EACCES;
        QCOMPARE(journal.remove(), 0);
    }
    closeFolder(&folder);
    QCOMPARE(got, error);
    QCOMPARE(folderState(path), after.split(','));
}

// A run in a folder whose path is far longer than MAX_PATH (260) renames and copies there.
void TestWindowsFs::longPaths()
{
    QTemporaryDir dir;
    QString deep = dir.path();
    for (int i = 0; i < 6; ++i)
        deep += "/Ein ziemlich langer Ordnername für Aufnahmen vom Wochenende " + QString::number(i);
    QVERIFY(deep.size() > 400);
    QVERIFY(QDir().mkpath(deep));
    const QString path = QDir::toNativeSeparators(deep + '/');
    const std::vector<BatchEntry> entries = filesIn(path, {"Schubert - Ständchen.mp3", "Mozart - Rondo.mp3"});
    QCOMPARE(runBatch(entries, options(IntoMobix, 8), path, nullptr).countDone(), 2);
    QCOMPARE(runBatch(entries, options(InPlace, 6), path, nullptr).countDone(), 2);
    QCOMPARE(folderState(path), (QStringList{"MOBIX/", "MOBIX/Mozart -.mp3=Mozart - Rondo.mp3",
                                             "MOBIX/Schubert.mp3=Schubert - Ständchen.mp3",
                                             "Mozart.mp3=Mozart - Rondo.mp3", "Schube.mp3=Schubert - Ständchen.mp3"}));
}

// What Windows does with a new name, next to what the program decides: a name it refuses or
// changes (a trailing dot or blank dropped, a device opened instead of a file) is never given.
void TestWindowsFs::names_data()
{
    columns<QString>("name");
    for (const char *name : {"song.", "song ", "a.mp3.", "CON", "con.mp3", "PRN.wav", "aux", "NUL .mp3", "COM1",
                             "com9.mp3", "LPT1", "lpt9.wav", "a<b", "a>b", "a:b.mp3", "a\"b", "a|b", "a?b", "a*b",
                             "tab\there", "Lied.mp3", "a b.mp3", "console.mp3", "COM0.mp3", "com10", ".profile",
                             "x..mp3", "Grüße €.mp3"})
        QTest::newRow(name) << QString::fromUtf8(name);
}

void TestWindowsFs::names()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    // By the plain path, as every other program on the machine names files.
    const QString path = QDir::toNativeSeparators(dir.path() + '/' + name);
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    const QStringList listed = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const bool takenAsIs = listed == QStringList{name};
    // Under Wine, whose ntdll says its version.
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") && name.contains(':'))
        QEXPECT_FAIL("", "Wine keeps ':' in the name; Windows makes a stream of the file before it", Continue);
    QCOMPARE(isPlainFileName(name), takenAsIs);
}

// The options are stored where Windows programs keep theirs: in the registry under
// HKEY_CURRENT_USER\Software\Kappwerk\Kappwerk\Optionen, as the program opens its settings.
// (tests/windows/user_reg.sh reads them from Wine's registry file after this test.)
void TestWindowsFs::settingsInRegistry()
{
    // Nothing from an earlier run in the same registry counts.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kappwerk");
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Kappwerk", "Kappwerk");
    const StoredOptions stored{.extensionIndex = 3, .cutAfterLength = false, .rename = true, .maxFileLength = "17",
                               .newFilename = "Wien %#"};
    QVERIFY(writeOptions(settings, stored));
    QSettings again(QSettings::NativeFormat, QSettings::UserScope, "Kappwerk", "Kappwerk");
    const StoredOptions read = readOptions(again);
    QCOMPARE(read.maxFileLength, "17");
    QCOMPARE(read.extensionIndex, 3);
    QVERIFY(read.rename && !read.cutAfterLength);
}

QTEST_GUILESS_MAIN(TestWindowsFs)
#include "test_windowsfs.moc"
