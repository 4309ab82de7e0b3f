#include <QTest>

#include "selection/folderpicker.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace {

// Runs the action on the dialog once it is shown, so the modal loop never waits for a user.
void whenDialogShows(std::function<void(QFileDialog *)> action)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action, poll] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            action(dialog);
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

QString clean(const QString &path)
{
    return QDir::cleanPath(path);
}

} // namespace

class TestFolderPicker : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void requestPassedOn_data();
    void requestPassedOn();
    void resultForm_data();
    void resultForm();
    void dialogConfirmed_data();
    void dialogConfirmed();
    void dialogCancelled();
    void startFolderMissing();
    void rootFolderConfines();
    void defaultStart();
};

void TestFolderPicker::cleanup()
{
    setFolderChooser({});
}

void TestFolderPicker::requestPassedOn_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<bool>("statusLine");
    QTest::addColumn<bool>("newStyle");
    QTest::addColumn<bool>("showFiles");
    QTest::addColumn<QString>("shownPrompt");
    QTest::newRow("file list's call") << QStringLiteral("Bitte wählen Sie den Ordner mit den Dateien aus.") << true
                                      << true << false << QStringLiteral("Bitte wählen Sie den Ordner mit den Dateien aus.");
    QTest::newRow("marker with status line") << "$" << true << false << false << "";
    QTest::newRow("marker without status line") << "$" << false << true << true << "$";
    QTest::newRow("marker inside a prompt") << "$ Ordner" << true << true << false << "$ Ordner";
}

void TestFolderPicker::requestPassedOn()
{
    QFETCH(QString, prompt);
    QFETCH(bool, statusLine);
    QFETCH(bool, newStyle);
    QFETCH(bool, showFiles);
    QFETCH(QString, shownPrompt);

    QWidget owner;
    QList<BrowseRequest> requests;
    setFolderChooser([&](const BrowseRequest &request) {
        requests.append(request);
        return QStringLiteral("/tmp");
    });
    QCOMPARE(BrowseForFolder(prompt, "/start", &owner, statusLine, "/root", newStyle, showFiles), "/tmp");
    QCOMPARE(requests.size(), 1);
    const BrowseRequest &request = requests.first();
    QCOMPARE(request.prompt, shownPrompt);
    QCOMPARE(request.startFolder, "/start");
    QCOMPARE(request.owner, &owner);
    QCOMPARE(request.statusLine, statusLine);
    QCOMPARE(request.rootFolder, "/root");
    QCOMPARE(request.newStyle, newStyle);
    QCOMPARE(request.showFiles, showFiles);
}

void TestFolderPicker::resultForm_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("result");
    QTest::newRow("cancel") << "" << "";
#ifdef Q_OS_WIN
    QTest::newRow("drive root") << "C:\\" << "C:\\";
    QTest::newRow("drive root from Qt") << "C:/" << "C:\\";
    QTest::newRow("folder") << "C:/Users/Musik/" << "C:\\Users\\Musik";
#else
    QTest::newRow("root") << "/" << "/";
    QTest::newRow("folder") << "/home/u/Musik" << "/home/u/Musik";
    QTest::newRow("folder with separator") << "/home/u/Musik/" << "/home/u/Musik";
#endif
}

void TestFolderPicker::resultForm()
{
    QFETCH(QString, chosen);
    QFETCH(QString, result);
    setFolderChooser([&](const BrowseRequest &) { return chosen; });
    QCOMPARE(BrowseForFolder("Ordner", QString(), nullptr, true), result);
}

void TestFolderPicker::dialogConfirmed_data()
{
    QTest::addColumn<bool>("showFiles");
    QTest::newRow("folders only") << false;
    QTest::newRow("files shown") << true;
}

void TestFolderPicker::dialogConfirmed()
{
    QFETCH(bool, showFiles);
    QTemporaryDir temp;
    const QString start = temp.path() + QStringLiteral("/Musik");
    QVERIFY(QDir().mkpath(start));
    QWidget owner;
    owner.show();

    bool seen = false;
    whenDialogShows([&](QFileDialog *dialog) {
        seen = true;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Bitte wählen Sie den Ordner mit den Dateien aus."));
        QCOMPARE(dialog->parentWidget(), &owner);
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        QCOMPARE(dialog->testOption(QFileDialog::ShowDirsOnly), !showFiles);
        QCOMPARE(clean(dialog->directory().absolutePath()), clean(start));
        static_cast<QDialog *>(dialog)->accept();
    });
    const QString result = BrowseForFolder(QStringLiteral("Bitte wählen Sie den Ordner mit den Dateien aus."),
                                           start + QLatin1Char('/'), &owner, true, QString(), true, showFiles);
    QVERIFY(seen);
    QCOMPARE(result, start);
}

void TestFolderPicker::dialogCancelled()
{
    QTemporaryDir temp;
    whenDialogShows([](QFileDialog *dialog) { dialog->reject(); });
    QCOMPARE(BrowseForFolder("Ordner", temp.path(), nullptr, true), QString());
}

void TestFolderPicker::startFolderMissing()
{
    QTemporaryDir temp;
    const QString missing = temp.path() + QStringLiteral("/fehlt");
    bool seen = false;
    whenDialogShows([&](QFileDialog *dialog) {
        seen = true;
        QVERIFY(clean(dialog->directory().absolutePath()) != clean(missing));
        dialog->reject();
    });
    QCOMPARE(BrowseForFolder("Ordner", missing, nullptr, true), QString());
    QVERIFY(seen);
    QVERIFY(!QFileInfo::exists(missing));
}

void TestFolderPicker::rootFolderConfines()
{
    QTemporaryDir temp;
    const QString root = temp.path() + QStringLiteral("/root");
    const QString inside = root + QStringLiteral("/inside");
    const QString outside = temp.path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(inside));
    QVERIFY(QDir().mkpath(outside));

    // A start folder outside the root opens the root; typing a folder outside it leads back.
    bool seen = false;
    whenDialogShows([&](QFileDialog *dialog) {
        seen = true;
        QCOMPARE(clean(dialog->directory().absolutePath()), clean(root));
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(outside);
        QTest::keyClick(name, Qt::Key_Return);
        whenDialogShows([&](QFileDialog *again) {
            QCOMPARE(clean(again->directory().absolutePath()), clean(root));
            again->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->clear();
            again->setDirectory(inside);
            static_cast<QDialog *>(again)->accept();
        });
    });
    QCOMPARE(BrowseForFolder("Ordner", outside, nullptr, false, root, true, false), clean(inside));
    QVERIFY(seen);
}

void TestFolderPicker::defaultStart()
{
#ifdef Q_OS_WIN
    QCOMPARE(defaultStartFolder(), QStringLiteral("C:\\"));
#else
    QCOMPARE(defaultStartFolder(), QDir::homePath());
#endif
}

QTEST_MAIN(TestFolderPicker)
#include "test_folderpicker.moc"
