// The file list on real folders, the folder picker behind its seam and the widest-entry
// measurement behind the list's sideways scrolling.
#include "columns.h"
#include "selection/filelist.h"
#include "selection/folderpicker.h"
#include "toolkit/textmeasure.h"

#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

namespace {

namespace fs = std::filesystem;
const QString soundHeader = QStringLiteral("-----Sounddateien-----");

// A name as the system keeps it: bytes on POSIX systems, UTF-16 on Windows.
fs::path nativePath(const QByteArray &name) { return name.toStdString(); }
fs::path nativePath(const QString &name) { return name.toStdU16String(); }

// Names are separated by "|". Each file holds its own name; "sub/" is a folder with a file
// inside, "link:x" a link to a file beside the folder, "dangling link:x" a link to nothing.
void populate(const fs::path &folder, const QByteArray &names)
{
    fs::create_directories(folder);
    for (const QByteArray &entry : names.split('|')) {
        const bool dangling = entry.startsWith("dangling link:"), link = dangling || entry.startsWith("link:");
        const QByteArray name = link ? entry.mid(entry.indexOf(':') + 1) : entry;
        const fs::path path = folder / nativePath(name), beside = folder.parent_path() / nativePath(name);
        if (name.endsWith('/'))
            populate(path, "inner.mp3");
        else if (link)
            fs::create_symlink(beside, path);
        if (!name.isEmpty() && !name.endsWith('/') && !dangling)
            std::ofstream(link ? beside : path, std::ios::binary) << name.toStdString();
    }
}

QByteArray readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

void addRow(const char *name, const char *files, const QString &filter, const char *listed, bool kept = true,
            const char *folder = "Mu.sik")
{
    const QByteArrayList names = *listed ? QByteArray(listed).split('|') : QByteArrayList();
    QTest::newRow(name) << QByteArray(files) << filter << names << kept << QByteArray(folder);
}

// Random names (printable ASCII, numbers with and without leading zeros, and with a chance per
// character of percentOther umlauts, Greek, Cyrillic, Chinese, Arabic) expected in the
// collator's order, numeric and case-insensitive, German for the C locale; names it finds equal
// in the order of their bytes. POSIX only: the random names hold characters Windows refuses.
[[maybe_unused]] void addCollatorRow(const char *row, int count, int percentOther)
{
    QRandomGenerator random(22);
    const QString others = QStringLiteral("äöüÄÖÜßéÉαΩжЖ漢字ع");
    QStringList names{"Track 2.mp3", "Track 10.mp3", "track 1.mp3", "Äpfel 2.mp3", "apfel 10.mp3", "Ärger 01.mp3",
                      "Ärger 1.mp3", "Μύθος.mp3", "Яблоко.mp3", "_a.mp3", "-a.mp3", "a b.mp3", "a-b.mp3", "ab.mp3"};
    while (names.size() < count) {
        QString name;
        for (int i = 1 + random.bounded(10); i > 0; --i) {
            if (int(random.bounded(100)) < percentOther)
                name += others.at(random.bounded(others.size()));
            else if (random.bounded(4) == 0)
                name += QString::number(random.bounded(100000)).rightJustified(random.bounded(7), QLatin1Char('0'));
            else if (const char c = char(0x20 + random.bounded(95)); c != '/' && c != '|')
                name += QLatin1Char(c);
        }
        names << name + QStringLiteral(".x");
    }
    names.removeDuplicates();
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::German, QLocale::Germany);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        const int result = collator.compare(a, b);
        return result != 0 ? result < 0 : a.toUtf8() < b.toUtf8();
    });
    const QByteArray listed = names.join(QLatin1Char('|')).toUtf8();
    QTest::newRow(row) << listed << QStringLiteral("*.*") << listed.split('|') << true << QByteArray("Mu.sik");
}

// Every text of three characters from the alphabet.
QStringList triples(const QString &alphabet)
{
    const qsizetype n = alphabet.size();
    QStringList texts;
    for (qsizetype i = 0; i < n * n * n; ++i)
        texts << QString(alphabet.at(i % n)) + alphabet.at(i / n % n) + alphabet.at(i / n / n);
    return texts;
}

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void fill_data()
    {
        columns<QByteArray, QString, QByteArrayList, bool, QByteArray>("files", "filter", "names", "kept", "folderName");
        const char *musik = "a.JPG|b.jpeg|c.txt|archive.tar.gz";
        // A pattern or header matches the whole extension in any case, never a suffix of it or of
        // a dotless name.
        addRow("pattern, suffixes and no dot", "mp3|xmp3|x.p3|x.amp3|x.mp|x.Mp3", "*.mp3", "x.Mp3");
        addRow("header, suffixes and no dot", "3gp|x.gpp|x.3gppp|x.peg|x.3GPP", "------Videodateien------", "x.3GPP");
        // The old headers list what they always listed; the ones for today's formats the old and new.
        addRow("old sound header", "a.flac|b.mp3|c.OPUS|d.wav", soundHeader, "b.mp3|d.wav");
        addRow("today's sound header", "a.flac|b.mp3|c.OPUS|d.mkv", "----Alle Sounddateien----", "a.flac|b.mp3|c.OPUS");
        addRow("separator line", musik, QString(32, QLatin1Char('-')), "a.JPG|archive.tar.gz|b.jpeg|c.txt");
        addRow("dot first, hidden", ".mp3|.hidden.mp3|shown.mp3", "*.mp3", ".hidden.mp3|.mp3|shown.mp3");
        addRow("no dot, subfolders skipped", "README|sub.mp3/|x.mp3", "*.*", "README|x.mp3");
        addRow("name order", "Track 10.mp3|Track 2.mp3|track 1.mp3|Album.mp3", soundHeader,
               "Album.mp3|track 1.mp3|Track 2.mp3|Track 10.mp3");
        addRow("empty filter text", "a.mp3", "", "");
        addRow("empty folder", "", "*.*", "", false);
#ifndef Q_OS_WIN
        addRow("links", "link:link.txt|dangling link:dangling.txt|plain.pdf", "------Textdateien------", "link.txt|plain.pdf");
        addRow("not UTF-8", "B.mp4|Lied \xe4.3gpp", "------Videodateien------", "B.mp4|Lied \xe4.3gpp");
        // A folder named in Latin-1 is shown with U+FFFD, whose UTF-8 names the sibling here: the
        // list stays empty, typed in or chosen, and never shows the sibling's files.
        addRow("folder not UTF-8", "chosen.mp3|../Mus\xef\xbf\xbdk/", "*.*", "", false, "Mus\xe4k");
        addCollatorRow("collator order, plain names and other scripts", 1500, 10);
#endif
    }

    void fill()
    {
        QFETCH(QByteArray, files);
        QFETCH(QString, filter);
        QFETCH(QByteArrayList, names);
        QFETCH(bool, kept);
        QFETCH(QByteArray, folderName); // with a "." that must not leak into any name part
        // Qt skips names that are not UTF-8, so its own removal would leave them behind.
        QTemporaryDir temp;
        const auto removeAll = qScopeGuard([&] { fs::remove_all(nativePath(temp.path())); });
        const QByteArray native = QFile::encodeName(temp.path()) + '/' + folderName;
        const QString folder = QFile::decodeName(native);
        populate(nativePath(native), files);

        FileListData lists;
        const QString result = FillFileList(lists, filter, false, folder, {});
        QCOMPARE(result, kept ? QDir::toNativeSeparators(folder + QLatin1Char('/')) : QString());
        QCOMPARE(lists.count() + lists.extensions.size() + lists.nativeNames.size(), 3 * names.size());
        for (int i = 0; i < lists.count(); ++i) {
            const QByteArray &name = names.at(i);
            const qsizetype extension = name.contains('.') ? name.lastIndexOf('.') + 1 : name.size();
            QCOMPARE(lists.entries.at(i), QString::fromUtf8(name));
            QCOMPARE(lists.extensions.at(i), QString::fromUtf8(name.mid(extension)));
            // The batch run reaches the file's bytes through the folder and the kept name.
            QCOMPARE(readFile(nativePath(result) / nativePath(lists.nativeNames.at(i))), name);
        }
        // Chosen in the dialog with separators to spare: the same list and one separator.
        FileListData again;
        QCOMPARE(FillFileList(again, filter, true, QString(), [&] { return folder + "//"; }), result);
        QCOMPARE(again.entries, lists.entries);
    }

    void browse_data()
    {
        columns<QString, QString>("chosen", "result");
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        QTest::newRow("folder") << root + "Musik//" << root + "Musik";
        QTest::newRow("root keeps its separator") << root << root;
        QTest::newRow("cancel") << "" << "";
    }

    // A start folder that does not exist reaches the dialog as it is, which passes it over. "$"
    // marks the status line of the shell's dialog, so with a status line it is no prompt.
    void browse()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, result);
        const QString open = QStringLiteral("Bitte wählen Sie den Ordner mit den Dateien aus.");
        const QStringList prompts = {open, open, "$", "$", "$ Ordner", "$ Ordner"};
        const QStringList shown = {open, open, "", "$", "$ Ordner", "$ Ordner"};
        QWidget owner;
        BrowseRequest asked;
        setFolderChooser([&](const BrowseRequest &request) { asked = request; return chosen; });
        const auto restore = qScopeGuard([] { setFolderChooser({}); });
        for (int i = 0; i < prompts.size(); ++i) {
            QCOMPARE(BrowseForFolder(prompts.at(i), QStringLiteral("/fehlt"), &owner, i % 2 == 0), result);
            QCOMPARE(asked.prompt, shown.at(i));
            QCOMPARE(asked.startFolder, QStringLiteral("/fehlt"));
            QCOMPARE(asked.owner, &owner);
        }
    }

    // The real dialog, as the main window opens it: its date column is German.
    void dialogDates()
    {
        QTemporaryDir temp;
        QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("Alben")));
        QString shown;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            const auto *view = dialog ? dialog->findChild<QTreeView *>() : nullptr;
            const QModelIndex folder = view ? view->model()->index(0, 3, view->rootIndex()) : QModelIndex();
            if ((shown = folder.data().toString()).size())
                dialog->reject();
        });
        poll.start(20);
        QCOMPARE(BrowseForFolder(QStringLiteral("Ordner"), temp.path(), nullptr, true), QString());
        QCOMPARE(shown, QLocale(QLocale::German, QLocale::Germany)
                            .toString(QFileInfo(temp.filePath("Alben")).lastModified(), QLocale::ShortFormat));
    }

    void widestText_data()
    {
        columns<QStringList, QString>("texts", "suffix");
        const QString six(6, QLatin1Char(' '));
        QTest::newRow("none") << QStringList() << six;
        QTest::newRow("kerning with the suffix") << QStringList{"T", "Y", "A", "L"} << "AVT";
        QTest::newRow("controls, surrogate pairs")
            << QStringList{"a\tb", "ab\u009cWWWWWWWWW", "a\u00adb", "\U0001F600\U0001F3B5 \U0001D11E"} << six;
        QTest::newRow("suffix outside the simple scripts") << QStringList{"abc", "WWW"} << "\u0301\t";
        QTest::newRow("ffi, narrower texts") << QStringList{"ffi"} + triples("filmnortjy.- ") << QString();
        QTest::newRow("mixed") << triples("aAfiTVW ?\u0301\u00ad\u00e9\u0416\u03a9\u05d0\u6771\t") << six;
    }

    void widestText()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, suffix);
        // Tahoma 8.25 pt is the list's font (replaced where missing); at 300 pt the little a
        // ligature gains or loses against its letters counts in whole pixels.
        for (const QFont &font : {QFont("Tahoma", 8.25), QFont("C059", 12), QFont("DejaVu Serif", 300)}) {
            const QFontMetrics metrics(font);
            // Also the first text with only the texts narrower than it: when it holds a ligature,
            // some of them are wider than the sum of its letters, so a shortcut trusting that fails.
            const int first = metrics.horizontalAdvance(texts.value(0) + suffix);
            QStringList narrower{texts.value(0)};
            for (const QString &text : texts)
                if (metrics.horizontalAdvance(text + suffix) < first)
                    narrower << text;
            for (const QStringList &set : {texts, narrower}) {
                int widest = 0;
                for (const QString &text : set)
                    widest = qMax(widest, metrics.horizontalAdvance(text + suffix));
                QCOMPARE(toolkit::widestTextWidth(set, font, suffix), widest);
            }
        }
    }
};

QTEST_MAIN(TestFileList)
#include "test_filelist.moc"
