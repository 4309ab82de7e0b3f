// The main window driven offscreen: its own events, the file list's buttons and the batch
// run as the user starts it, on real folders.
#include "app/mainwindow.h"
#include "app/specialselect.h"
#include "selection/folderpicker.h"
#include "testsupport.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowFrame();
    void captionsFitTheirControls();
    void lengthFieldSitsInTheCaptionGap();
    void controlsDoNotOverlap();
    void lengthCheck_data();
    void lengthCheck();
    void aboutBox();
    void overwriteGreysSubdirectory_data();
    void overwriteGreysSubdirectory();
    void closeTakesTheUnloadPath_data();
    void closeTakesTheUnloadPath();
    void openAndFilter_data();
    void openAndFilter();
    void listScrollsSidewaysToItsWidestEntry();
    void cutWithNothingTicked();
    void cutRunsTheBatchAndRelists();
    void specialSelectIsOneModelessDialog();

private:
    template <typename T> T *control(const char *name) const
    {
        T *widget = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    void makeFile(const QString &name, const QByteArray &content = "data");
    void chooseFolder(const QString &path);

    std::unique_ptr<QTemporaryDir> m_configDir;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<Main> m_window;
};

void TestMainWindow::initTestCase()
{
    toolkit::ensureTahoma();
}

void TestMainWindow::init()
{
    m_configDir = std::make_unique<QTemporaryDir>();
    m_folder = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<QSettings>(m_configDir->filePath(QStringLiteral("Kappwerk.conf")),
                                             QSettings::IniFormat);
    m_messages = std::make_unique<MessageRecorder>();
    m_window = std::make_unique<Main>(*m_settings);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindow::cleanup()
{
    setFolderChooser({});
    m_window.reset();
    m_messages.reset();
    m_settings.reset();
    m_folder.reset();
    m_configDir.reset();
}

void TestMainWindow::makeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_folder->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

void TestMainWindow::chooseFolder(const QString &path)
{
    setFolderChooser([path](const BrowseRequest &) { return path; });
    QTest::mouseClick(control<QPushButton>("Open"), Qt::LeftButton);
}

void TestMainWindow::windowFrame()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Kappwerk"));
    QCOMPARE(m_window->size(), QSize(433, 345));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(m_window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!m_window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!m_window->windowIcon().isNull());
    QCOMPARE(m_window->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(QFontInfo(m_window->font()).family(), QStringLiteral("Tahoma"));
}

void TestMainWindow::captionsFitTheirControls()
{
    // A caption that runs past its control's right edge is clipped on screen.
    const auto buttons = m_window->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button->text().isEmpty())
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool radio = qobject_cast<QRadioButton *>(button) != nullptr;
        const bool check = qobject_cast<QCheckBox *>(button) != nullptr;
        // Push buttons: the caption and the style's margins on both sides.
        int right = button->fontMetrics().horizontalAdvance(button->text())
            + 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        if (radio || check) {
            const QRect contents = button->style()->subElementRect(
                radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, button);
            right = contents.x() + button->fontMetrics().horizontalAdvance(button->text());
        }
        QVERIFY2(right <= button->width(),
                 qPrintable(QStringLiteral("%1: %2 > %3").arg(button->objectName()).arg(right).arg(button->width())));
    }
    for (QGroupBox *frame : m_window->findChildren<QGroupBox *>())
        QVERIFY(frame->fontMetrics().horizontalAdvance(frame->title()) < frame->width() - 16);
}

void TestMainWindow::lengthFieldSitsInTheCaptionGap()
{
    auto *option = control<QRadioButton>("CutAfterLength");
    auto *field = control<QLineEdit>("MaxFileLength");
    QStyleOptionButton styleOption;
    styleOption.initFrom(option);
    styleOption.text = option->text();
    const QRect contents = option->style()->subElementRect(QStyle::SE_RadioButtonContents, &styleOption, option);
    const QFontMetrics metrics(option->font());
    const int gapStart = option->x() + contents.x() + metrics.horizontalAdvance(QStringLiteral("Nach"));
    const int gapEnd = option->x() + contents.x() + metrics.horizontalAdvance(QStringLiteral("Nach            "));
    QVERIFY2(field->x() >= gapStart, qPrintable(QStringLiteral("%1 < %2").arg(field->x()).arg(gapStart)));
    QVERIFY2(field->geometry().right() < gapEnd, qPrintable(QStringLiteral("%1 >= %2").arg(field->geometry().right()).arg(gapEnd)));
}

void TestMainWindow::controlsDoNotOverlap()
{
    for (QGroupBox *frame : m_window->findChildren<QGroupBox *>()) {
        const auto children = frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *a : children) {
            for (QWidget *b : children) {
                if (a >= b || !a->isVisible() || !b->isVisible())
                    continue;
                // The length field lies over the gap in its option button's caption on purpose.
                const QSet<QString> pair{a->objectName(), b->objectName()};
                if (pair == QSet<QString>{QStringLiteral("CutAfterLength"), QStringLiteral("MaxFileLength")})
                    continue;
                QVERIFY2(!a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + QLatin1String(" overlaps ") + b->objectName()));
            }
        }
    }
}

void TestMainWindow::lengthCheck_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<bool>("replaceAll");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("messages");

    QTest::newRow("letters vanish") << "30" << false << false << "ab" << "30" << 0;
    QTest::newRow("a letter after a digit vanishes") << "3" << false << false << "x" << "3" << 0;
    QTest::newRow("deleting everything gives 1") << "30" << true << false << "" << "1" << 0;
    QTest::newRow("zero") << "30" << true << false << "0" << "30" << 1;
    QTest::newRow("third digit makes 100") << "10" << false << false << "0" << "30" << 1;
    QTest::newRow("a valid length stays") << "30" << true << false << "99" << "99" << 0;
    QTest::newRow("negative pasted") << "30" << true << true << "-5" << "30" << 1;
    QTest::newRow("eleven digits pasted") << "30" << true << true << "12345678901" << "30" << 1;
    QTest::newRow("fraction rounds to a valid length") << "30" << true << true << "2.5" << "2.5" << 0;
    QTest::newRow("half rounds to the even 100") << "30" << true << true << "99,5" << "30" << 1;
    QTest::newRow("exponent") << "30" << true << true << "1e1" << "1e1" << 0;
    QTest::newRow("spaces around a number") << "30" << true << true << " 12 " << " 12 " << 0;
    QTest::newRow("a pasted word vanishes letter by letter") << "30" << true << true << "ab" << "1" << 0;
}

void TestMainWindow::lengthCheck()
{
    QFETCH(QString, initial);
    QFETCH(bool, replaceAll);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QFETCH(int, messages);

    auto *field = control<QLineEdit>("MaxFileLength");
    field->setText(initial);
    m_messages->clear();
    field->setFocus();
    field->end(false);
    if (replaceAll)
        field->selectAll();
    if (paste) {
        QGuiApplication::clipboard()->setText(input);
        field->paste();
    } else if (input.isEmpty()) {
        QTest::keyClick(field, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(field, input);
    }
    QCOMPARE(field->text(), expected);
    QCOMPARE(m_messages->count(), messages);
    for (const toolkit::MessageRecord &record : m_messages->records()) {
        QCOMPARE(record.text, QStringLiteral("Bitte eine Länge zwischen 1 und 99 Zeichen verwenden."));
        QCOMPARE(record.style, 16);
        QCOMPARE(record.title, QStringLiteral("Achtung"));
    }
}

void TestMainWindow::aboutBox()
{
    QTest::mouseClick(control<QPushButton>("About"), Qt::LeftButton);
    QCOMPARE(m_messages->count(), 1);
    const toolkit::MessageRecord record = m_messages->records().first();
    QCOMPARE(record.text, QStringLiteral("Kappwerk v0.3b by Ostwerk.\r\n\r\n"
                                         "Herzlichen Dank an Ombrel für die Tests, Hinweise und Vorschläge."));
    QCOMPARE(record.style, 64);
    QCOMPARE(record.title, QStringLiteral("About"));
}

void TestMainWindow::overwriteGreysSubdirectory_data()
{
    QTest::addColumn<bool>("subdirectoryChecked");
    QTest::newRow("subfolder on") << true;
    QTest::newRow("subfolder off") << false;
}

void TestMainWindow::overwriteGreysSubdirectory()
{
    QFETCH(bool, subdirectoryChecked);
    auto *overwrite = control<QCheckBox>("Overwrite");
    auto *subdirectory = control<QCheckBox>("Subdirectory");
    subdirectory->setChecked(subdirectoryChecked);

    QTest::mouseClick(overwrite, Qt::LeftButton);
    QVERIFY(overwrite->isChecked());
    QVERIFY(!subdirectory->isEnabled());
    QVERIFY(subdirectory->isVisible());
    QCOMPARE(subdirectory->isChecked(), subdirectoryChecked);

    QTest::mouseClick(overwrite, Qt::LeftButton);
    QVERIFY(subdirectory->isEnabled());
    QCOMPARE(subdirectory->isChecked(), subdirectoryChecked);

    // A change made by the program greys it just the same.
    overwrite->setChecked(true);
    QVERIFY(!subdirectory->isEnabled());
}

void TestMainWindow::closeTakesTheUnloadPath_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("Close button") << true;
    QTest::newRow("close box") << false;
}

void TestMainWindow::closeTakesTheUnloadPath()
{
    QFETCH(bool, byButton);
    QSignalSpy unloaded(m_window.get(), &Main::unloaded);
    control<QLineEdit>("MaxFileLength")->setText(QStringLiteral("17"));
    if (byButton)
        QTest::mouseClick(control<QPushButton>("Close"), Qt::LeftButton);
    else
        m_window->windowHandle()->close();
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!m_window->isVisible());
    QSettings stored(m_settings->fileName(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Optionen/MaxFileLength.Text")).toString(), QStringLiteral("17"));
}

void TestMainWindow::openAndFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("sound files") << "-----Sounddateien-----" << QStringList{"Track 2.mp3", "Track 10.MP3"};
    QTest::newRow("one pattern") << "*.jpg" << QStringList{"a.JPG"};
    QTest::newRow("all files") << "*.*" << QStringList{"a.JPG", "notes", "Track 2.mp3", "Track 10.MP3"};
    QTest::newRow("separator line") << "--------------------------------"
                                    << QStringList{"a.JPG", "notes", "Track 2.mp3", "Track 10.MP3"};
}

void TestMainWindow::openAndFilter()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    for (const char *name : {"Track 10.MP3", "Track 2.mp3", "a.JPG", "notes"})
        makeFile(QString::fromLatin1(name));
    QDir(m_folder->path()).mkdir(QStringLiteral("sub.mp3"));

    auto *extension = control<QComboBox>("Extension");
    auto *list = control<toolkit::CheckList>("FileList");
    extension->setCurrentText(filter);
    QCOMPARE(extension->currentText(), filter);
    chooseFolder(m_folder->path());
    QCOMPARE(list->texts(), expected);
    QCOMPARE(m_window->folderPath(), m_folder->path() + QLatin1Char('/'));
    QCOMPARE(m_window->files().extensions.size(), expected.size());

    // All and none tick every entry or none.
    QTest::mouseClick(control<QPushButton>("AllFiles"), Qt::LeftButton);
    for (int i = 0; i < list->count(); ++i)
        QVERIFY(list->isSelected(i));
    QTest::mouseClick(control<QPushButton>("NoFiles"), Qt::LeftButton);
    QVERIFY(!list->anySelected());

    // Another filter lists the current folder again without asking.
    setFolderChooser([](const BrowseRequest &) -> QString { qFatal("asked for a folder"); });
    extension->setCurrentText(QStringLiteral("*.*"));
    QCOMPARE(list->count(), 4);
    QVERIFY(list->horizontalExtent() > 0);

    // The folder vanishes, then a filter change: nothing listed and no folder current.
    QVERIFY(QDir(m_folder->path()).removeRecursively());
    extension->setCurrentText(QStringLiteral("*.jpg"));
    QCOMPARE(list->count(), 0);
    QCOMPARE(m_window->folderPath(), QString());
    QCOMPARE(list->horizontalExtent(), 0);
}

void TestMainWindow::listScrollsSidewaysToItsWidestEntry()
{
    const QString wide = QStringLiteral("03 - Über den Wolken (Live in Düsseldorf 1975).mp3");
    makeFile(QStringLiteral("a.mp3"));
    makeFile(wide);
    chooseFolder(m_folder->path());
    auto *list = control<toolkit::CheckList>("FileList");
    const int extent = list->fontMetrics().horizontalAdvance(wide + QStringLiteral("      "));
    QCOMPARE(list->horizontalExtent(), extent);
    QTRY_COMPARE(list->horizontalScrollBar()->maximum(), extent - list->viewport()->width());
    QVERIFY(list->horizontalScrollBar()->isVisible());

    // A short entry alone needs no sideways scrolling.
    QVERIFY(QFile::remove(m_folder->filePath(wide)));
    control<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.*"));
    QCOMPARE(list->count(), 1);
    QTRY_COMPARE(list->horizontalScrollBar()->maximum(), 0);
}

void TestMainWindow::cutWithNothingTicked()
{
    makeFile(QStringLiteral("song.mp3"));
    chooseFolder(m_folder->path());
    QCOMPARE(control<toolkit::CheckList>("FileList")->count(), 1);
    QTest::mouseClick(control<QPushButton>("Cut"), Qt::LeftButton);
    QCOMPARE(m_messages->count(), 1);
    QCOMPARE(m_messages->records().first().text,
             QStringLiteral("Keine Dateien ausgewählt. Wählen Sie zuerst Ordner öffnen."));
    QCOMPARE(m_messages->records().first().style, 16);
    QCOMPARE(m_messages->records().first().title, QStringLiteral("Fehler"));
    QVERIFY(!QDir(m_folder->filePath(QStringLiteral("MOBIX"))).exists());

    // A folder is current, then Open and cancel: nothing listed, no folder current.
    chooseFolder(QString());
    QCOMPARE(control<toolkit::CheckList>("FileList")->count(), 0);
    QCOMPARE(m_window->folderPath(), QString());
}

void TestMainWindow::cutRunsTheBatchAndRelists()
{
    makeFile(QStringLiteral("Schubert - Ständchen.mp3"), "serenade");
    makeFile(QStringLiteral("other.mp3"), "other");
    chooseFolder(m_folder->path());
    auto *list = control<toolkit::CheckList>("FileList");
    QCOMPARE(list->count(), 2);
    control<QLineEdit>("MaxFileLength")->setText(QStringLiteral("8"));
    control<QCheckBox>("Subdirectory")->setChecked(false);
    control<QCheckBox>("Special")->setChecked(false);
    list->setSelected(list->texts().indexOf(QStringLiteral("Schubert - Ständchen.mp3")), true);

    QTest::mouseClick(control<QPushButton>("Cut"), Qt::LeftButton);
    QCOMPARE(m_messages->count(), 0);
    QCOMPARE(list->texts(), (QStringList{"other.mp3", "Schubert - Ständchen.mp3", "Schubert.mp3"}));
    QVERIFY(!list->anySelected());
    QFile copy(m_folder->filePath(QStringLiteral("Schubert.mp3")));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), QByteArray("serenade"));
}

void TestMainWindow::specialSelectIsOneModelessDialog()
{
    auto *selectSpecial = control<QPushButton>("SelectSpecial");
    QTest::mouseClick(selectSpecial, Qt::LeftButton);
    SpecialSelect *dialog = m_window->specialSelect();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QVERIFY(dialog->parent() == nullptr);

    // A box ticked since it opened stays ticked: a second click does not load it again.
    QVERIFY(!dialog->box(1)->isChecked()); // "!"
    dialog->box(1)->setChecked(true);
    QTest::mouseClick(selectSpecial, Qt::LeftButton);
    QCOMPARE(m_window->specialSelect(), dialog);
    QVERIFY(dialog->box(1)->isChecked());
    QVERIFY(dialog->workingCopy().endsWith(QLatin1Char('!')));

    // A batch started while the dialog is open uses the string from before it opened.
    makeFile(QStringLiteral("Hi!.mp3"), "x");
    chooseFolder(m_folder->path());
    control<toolkit::CheckList>("FileList")->setSelected(0, true);
    QTest::mouseClick(control<QPushButton>("Cut"), Qt::LeftButton);
    QVERIFY(QFile::exists(m_folder->filePath(QStringLiteral("MOBIX/Hi.mp3"))));
    QVERIFY(!m_window->specialListe().contains(QLatin1Char('!')));

    // Confirmed with OK: the main window holds the new string and a reopening shows it.
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("OK")), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(m_window->specialListe().endsWith(QLatin1Char('!')));
    QTest::mouseClick(selectSpecial, Qt::LeftButton);
    QVERIFY(dialog->box(1)->isChecked());

    // Closing the main window takes the open dialog with it, without writing back.
    dialog->box(1)->setChecked(false);
    m_window->close();
    QVERIFY(m_window->specialListe().endsWith(QLatin1Char('!')));
    QVERIFY(!m_window->specialSelect());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
