// The main window driven offscreen: its layout, its own events, the file list's buttons and the
// ways a folder comes in, on real folders. The batch run through the window is in test_mainrun.
#include "app/backgroundwork.h"
#include "app/folderlister.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSemaphore>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QUrl>

class TestMainWindow : public QObject, public WindowFixture
{
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void layout_data()
    {
        QTest::addColumn<bool>("tahoma");
        QTest::newRow("Tahoma") << true;
        QTest::newRow("Tahoma missing") << false; // as on a system without fonts-wine
    }

    void layout()
    {
        QFETCH(bool, tahoma);
#ifdef Q_OS_WIN
        QSKIP("under Windows the fonts are the system's own, which the test cannot hide or measure alike");
#endif
        toolkit::hideTahomaForTest(!tahoma);
        const auto restore = qScopeGuard([] { toolkit::hideTahomaForTest(false); });
        init();
        QCOMPARE(m_window->size(), QSize(433, 345));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        QVERIFY(!m_window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(QFontInfo(m_window->font()).family() == QStringLiteral("Tahoma"), tahoma);
        // The closed drop-down list shows its default entry whole, left of its arrow.
        auto *extension = c<QComboBox>("Extension");
        QStyleOptionComboBox box;
        box.initFrom(extension);
        const QRect arrow = extension->style()->subControlRect(QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxArrow, extension);
        const QRect shown = ink(extension, QRect(0, 3, arrow.left(), extension->height() - 6));
        QCOMPARE(extension->currentText(), QStringLiteral("-----Sounddateien-----"));
        QLabel whole(extension->currentText());
        whole.setFont(extension->font());
        QCOMPARE(shown.width(), ink(&whole, whole.rect()).width());
        for (QGroupBox *frame : m_window->findChildren<QGroupBox *>()) {
            const auto children = frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
            for (QWidget *a : children) {
                // No caption runs past its control's right edge.
                if (auto *button = qobject_cast<QAbstractButton *>(a); button && !button->text().isEmpty()) {
                    QStyleOptionButton option;
                    option.initFrom(button);
                    const bool plain = !qobject_cast<QCheckBox *>(a) && !qobject_cast<QRadioButton *>(a);
                    const auto element = qobject_cast<QCheckBox *>(a) ? QStyle::SE_CheckBoxContents
                                                                       : QStyle::SE_RadioButtonContents;
                    const int left = plain ? 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin)
                                           : button->style()->subElementRect(element, &option, button).x();
                    QVERIFY2(left + button->fontMetrics().horizontalAdvance(button->text()) <= button->width(),
                             qPrintable(a->objectName()));
                }
                // No two controls overlap, but for the length field in its option's caption gap.
                for (QWidget *b : children) {
                    const QSet<QString> pair{a->objectName(), b->objectName()};
                    if (a < b && pair != QSet<QString>{"CutAfterLength", "MaxFileLength"})
                        QVERIFY2(!a->geometry().intersects(b->geometry()), qPrintable(a->objectName() + " " + b->objectName()));
                }
            }
        }
        // The length field sits in the gap of spaces of its option's caption.
        auto *option = c<QRadioButton>("CutAfterLength");
        QStyleOptionButton style;
        style.initFrom(option);
        const int text = option->x() + option->style()->subElementRect(QStyle::SE_RadioButtonContents, &style, option).x();
        const QRect field = c("MaxFileLength")->geometry();
        QVERIFY(field.left() >= text + option->fontMetrics().horizontalAdvance(QStringLiteral("Nach")));
        QVERIFY(field.right() < text + option->fontMetrics().horizontalAdvance(QStringLiteral("Nach            ")));
    }

    void lengthCheck_data()
    {
        // How the input comes into the field holding 30: typed at the end, or over the whole
        // text typed or pasted.
        columns<QString, QString, QString, int>("how", "input", "expected", "messages");
        QTest::newRow("letters vanish") << "append" << "ab" << "30" << 0;
        QTest::newRow("deleting everything gives 1") << "replace" << "\b" << "1" << 0;
        QTest::newRow("valid length stays") << "replace" << "99" << "99" << 0;
        QTest::newRow("negative pasted") << "paste" << "-5" << "30" << 1;
        QTest::newRow("eleven digits pasted") << "paste" << "12345678901" << "30" << 1;
        QTest::newRow("half rounds to the even 100") << "paste" << "99.5" << "30" << 1;
    }

    void lengthCheck()
    {
        QFETCH(QString, how);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(int, messages);
        auto *field = c<QLineEdit>("MaxFileLength");
        field->setFocus();
        field->end(false);
        if (how != "append")
            field->selectAll();
        QGuiApplication::clipboard()->setText(input);
        if (how == "paste")
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        else
            QTest::keyClicks(field, input); // "\b" is Backspace
        QCOMPARE(field->text(), expected);
        QCOMPARE(this->messages(),
                 QStringList(messages, QStringLiteral("Achtung, stop: Bitte eine Länge zwischen 1 und 99 Zeichen verwenden.")));
    }

    void folderFromOutside_data()
    {
        // The control a folder or file is dropped on, as `kappwerk PATH` opens it too, the path in the
        // test folder ("" the folder itself), the message why it is not listed (none: it is), and
        // a folder and filter read before, as `kappwerk FOLDER` reads its folder while the window
        // is made: that reading serves the first listing only when its folder and filter are the
        // ones the window asks for.
        columns<QString, QString, QStringList, QString, QString>("onto", "path", "messages", "readFolder", "readFilter");
        const auto row = [](const char *name, const char *onto, const char *path, const QStringList &messages = {},
                            const char *readFolder = "", const char *readFilter = "") {
            QTest::newRow(name) << QString(onto) << QString(path) << messages << QString(readFolder) << QString(readFilter);
        };
        row("a folder", "FileList", "");
        row("a file lists its folder", "FileList", "b.mp3");
        row("no folder, said so", "FileList", "missing", {"Achtung, stop: „%1“ ist kein Ordner."});
        row("on the pattern field", "NewFilename", "");
        row("read before with the same filter", "FileList", "", {}, "", "*.mp3");
        row("read before with another filter", "FileList", "", {}, "", "*.wav");
        row("another folder read before", "FileList", "", {}, "other", "*.mp3");
    }

    void folderFromOutside()
    {
        QFETCH(QString, onto);
        QFETCH(QString, path);
        QFETCH(QStringList, messages);
        QFETCH(QString, readFolder);
        QFETCH(QString, readFilter);
        const bool listed = messages.isEmpty();
        makeFiles({"b.mp3", "a.mp3", "c.wav", "other/x.mp3"});
        c<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.mp3"));
        open(m_folder->filePath(QStringLiteral("other")));
        QCOMPARE(list()->texts(), QStringList{"x.mp3"});
        if (!readFilter.isEmpty())
            FolderLister::listEarly(QDir(m_folder->path()).absoluteFilePath(readFolder), readFilter);

        const QString target = path.isEmpty() ? m_folder->path() : m_folder->filePath(path);
        // Sent to the control, as the file manager's drag arrives under the pointer, with the path as
        // text too; Shift proposes a move, which must never be accepted.
        QWidget *to = onto == "FileList" ? list()->viewport() : c(qPrintable(onto));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(target)});
        mime.setText(target);
        const QPoint at = to->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(to, &enter);
        QVERIFY(enter.isAccepted() && enter.dropAction() == Qt::CopyAction);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(to, &drop);
        QVERIFY(drop.isAccepted() && drop.dropAction() == Qt::CopyAction);
        QCOMPARE(list()->texts(), listed ? (QStringList{"a.mp3", "b.mp3"}) : QStringList());
        QCOMPARE(m_window->folderPath(), listed ? QDir::toNativeSeparators(m_folder->path() + QLatin1Char('/')) : QString());
        QCOMPARE(this->messages(), messages.replaceInStrings("%1", QDir::toNativeSeparators(target)));
        QCOMPARE(c<QLineEdit>("NewFilename")->text(), QStringLiteral("%# - Dateiname"));
    }

    // Ctrl+O asks for a folder, starting at home until one is listed, then at the listed one.
    // F5 and every filter entry, the same one chosen again too, list the folder again without
    // asking; with no folder, or none left, nothing is listed.
    void listing()
    {
        const QString wide = QStringLiteral("Track 2 - Über den Wolken (Live in Düsseldorf 1975).mp3");
        makeFiles({"Track 10.MP3", wide, "a.JPG"});
        auto *extension = c<QComboBox>("Extension");
        extension->setCurrentText(QStringLiteral("*.jpg")); // no folder yet: nothing happens
        QCOMPARE(list()->count(), 0);
        extension->setCurrentText(QStringLiteral("-----Sounddateien-----"));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        // While the dialog is open, the window's files are the empty list's (the preview reads them).
        QStringList startFolders;
        const QString path = QDir::toNativeSeparators(m_folder->path());
        setFolderChooser([&](const BrowseRequest &request) {
            startFolders << request.startFolder + (m_window->files().count() == list()->count() ? "" : " with stale files");
            return m_folder->path();
        });
        QTest::keyClick(m_window.get(), Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(m_window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(startFolders, (QStringList{QDir::toNativeSeparators(QDir::homePath()), path}));
        QCOMPARE(list()->texts(), (QStringList{wide, "Track 10.MP3"}));
        QCOMPARE(m_window->folderPath(), path + QDir::separator());

        // Scrolled fully sideways, the widest entry ends whole, about six spaces before the edge.
        QScrollBar *sideways = list()->horizontalScrollBar();
        QTRY_VERIFY(sideways->maximum() > 0);
        sideways->setValue(sideways->maximum());
        const QRect row = list()->visualRect(list()->model()->index(0, 0));
        const int end = ink(list()->viewport(), QRect(0, row.top() + 1, row.width(), row.height() - 2)).right();
        const int gap = list()->viewport()->width() - 1 - end;
        const int spaces = list()->fontMetrics().horizontalAdvance("      ");
        QVERIFY2(gap >= spaces - 1 && gap <= spaces + 6, qPrintable(QString("%1 %2").arg(gap).arg(spaces)));
        click("AllFiles");
        QVERIFY(list()->isSelected(0) && list()->isSelected(1));
        click("NoFiles");
        QVERIFY(!list()->anySelected());

        setFolderChooser([](const BrowseRequest &) -> QString { qFatal("asked for a folder"); });
        QSignalSpy refills(list()->model(), &QAbstractItemModel::modelReset);
        makeFiles({"b.mp3"});
        QTest::keyClick(m_window.get(), Qt::Key_F5);
        QCOMPARE(list()->texts(), (QStringList{"b.mp3", wide, "Track 10.MP3"}));
        const qsizetype resetsPerRefill = refills.count();
        QVERIFY(resetsPerRefill > 0);
        makeFiles({"c.mp3"});
        extension->showPopup();
        QTest::keyClick(extension->view(), Qt::Key_Return);
        QCOMPARE(list()->count(), 4);
        // Another entry chosen with the keyboard lists once, as before, not a second time.
        refills.clear();
        QTest::keyClick(extension, Qt::Key_Down);
        QCOMPARE(extension->currentText(), QStringLiteral("*.aac"));
        QCOMPARE(refills.count(), resetsPerRefill);
        extension->setCurrentText(QStringLiteral("*.jpg"));
        QCOMPARE(list()->texts(), QStringList{"a.JPG"});
        QTRY_COMPARE(list()->horizontalScrollBar()->maximum(), 0);
        // Open, then cancel: nothing listed, no folder current.
        open(QString());
        QCOMPARE(list()->count(), 0);
        QCOMPARE(m_window->folderPath(), QString());
        // The folder vanishes, then a filter change: the same, without a word.
        open(m_folder->path());
        QVERIFY(m_folder->remove());
        extension->setCurrentText(QStringLiteral("*.*"));
        QCOMPARE(list()->count(), 0);
        QCOMPARE(m_window->folderPath(), QString());
        QCOMPARE(messages(), QStringList());
    }

    // Space on the scissors runs, and the focus stays there: the second Space never reaches
    // "Programm beenden". Return and Enter click the focused button as Space does.
    void keyboardRun()
    {
        makeFiles({"a.mp3"});
        open(m_folder->path());
        click("AllFiles");
        QSignalSpy runs(m_window.get(), &Main::runFinished), unloaded(m_window.get(), &Main::unloaded);
        c("Cut")->setFocus();
        QTest::keyClick(m_window->focusWidget(), Qt::Key_Space);
        QCOMPARE(runs.count(), 1);
        // The folder is listed afresh, nothing ticked: the second Space only says so.
        QTest::keyClick(m_window->focusWidget(), Qt::Key_Space);
        QCOMPARE(messages(), QStringList{"Fehler, stop: Keine Dateien ausgewählt. Wählen Sie zuerst Ordner öffnen."});
        click("AllFiles");
        c("Cut")->setFocus();
        QTest::keyClick(c("Cut"), Qt::Key_Return);
        QCOMPARE(runs.count(), 2);
        c("About")->setFocus();
        QTest::keyClick(c("About"), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(messages().last(), "About, information: Kappwerk v0.3b by Ostwerk.\r\n\r\n"
                                    "Herzlichen Dank an Ombrel für die Tests, Hinweise und Vorschläge.");
        QCOMPARE(unloaded.count(), 0);
    }

    void accessibleNames()
    {
        // Read as a screen reader reads them, through the accessibility interface.
        QStringList names;
        for (const char *object : {"AllFiles", "NoFiles", "Open", "Cut", "About", "Close", "FileList", "MaxFileLength",
                                   "NewFilename"})
            names << QAccessible::queryAccessibleInterface(c(object))->text(QAccessible::Name);
        QCOMPARE(names, (QStringList{"Alle auswählen", "Keins auswählen", "Ordner öffnen", "Dateinamen ändern",
                                     "Über Kappwerk", "Programm beenden", "Dateiliste",
                                     "Anzahl Zeichen, nach der abgeschnitten wird", "Muster für den neuen Namen"}));
        // Linux names a drop-down list by the entry it shows; a screen reader names it by its label.
        names.clear();
        QAccessibleInterface *filter = QAccessible::queryAccessibleInterface(c("Extension"));
        for (const auto &[label, relation] : filter->relations(QAccessible::Label))
            names << label->text(QAccessible::Name);
        QVERIFY2(names.contains("Dateityp-Filter"), qPrintable(names.join(", ")));
    }

    // A folder is read on a worker, even the first look at a path given from outside: a card
    // that does not answer holds the worker, never the window. A close meanwhile stores the
    // options and ends the program at once; the list that comes later is not shown.
    void closeWhileListing_data()
    {
        columns<QString>("path");
        QTest::newRow("a folder chosen") << "";
        QTest::newRow("a file given from outside") << "a.mp3";
    }
    void closeWhileListing()
    {
        QFETCH(QString, path);
        makeFiles({"a.mp3"});
        QSignalSpy listed(m_window.get(), &Main::listed), unloaded(m_window.get(), &Main::unloaded);
        m_window->setWorkInline(false);
        QSemaphore answer;
        bool looked = false;
        FolderLister::setBeforeListingForTest([&] { answer.acquire(); });
        const auto release = qScopeGuard([&] {
            if (!looked)
                answer.release();
            FolderLister::setBeforeListingForTest({});
        });
        if (path.isEmpty())
            open(m_folder->path());
        else
            m_window->openFolder(m_folder->filePath(path));
        QCOMPARE(m_window->state(), Main::State::Listing);
        c<QLineEdit>("NewFilename")->setText(QStringLiteral("Lied %#"));
        m_window->close();
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!m_window->isVisible());
        m_settings->sync();
        QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).value("Optionen/NewFilename.Text").toString(), "Lied %#");
        looked = true;
        answer.release();
        QVERIFY(finishBackgroundWork(30000));
        QCoreApplication::processEvents();
        QCOMPARE(listed.count(), 0);
        QCOMPARE(m_window->state(), Main::State::Closed);
        QCOMPARE(list()->count(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
