// The preview of a run: the new names and problems the file list's tooltips and marks show,
// worked out from the engine's plan on real folders, and in the main window the marks and the
// preview window following every change. That the plan foresees the run is in test_batchrun;
// that typing goes on while a memory card hangs is in e2e/run_e2e_hung.sh.
#include "app/previewcontroller.h"
#include "app/previewtexts.h"
#include "app/previewwindow.h"
#include "app/specialselect.h"
#include "runtable.h"
#include "windowfixture.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>

#include <sys/time.h>

class TestPreview : public QObject, public WindowFixture
{
    Q_OBJECT
    static inline const QString prefix = QStringLiteral("neuer Name: ");
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void hints_data()
    {
        // The files ("a/b" is a file in a subfolder, not listed), the one listed file left unticked
        // ("" for none), and per listed entry its tooltip after "neuer Name: ", separated by "|".
        columns<QStringList, QString, RenameOptions, QString>("names", "unticked", "options", "tips");
        const auto row = [](const char *name, const char *names, const char *unticked, const RenameOptions &options,
                            const QString &tips) { QTest::newRow(name) << QString(names).split(',') << unticked << options << tips; };
        row("two get one name in MOBIX", "Track 01 - Allegro.mp3,Track 01 - Andante.mp3,Zugabe.mp3", "Zugabe.mp3",
            options(IntoMobix, 8, {}, true), "Track 01.mp3|Track 2.mp3\nName angepasst: Track 01.mp3 doppelt|");
        row("one name in place", "Track 01 - Allegro.mp3,Track 01 - Andante.mp3", "", options(InPlace, 8, {}, true),
            "Track 01.mp3|marked: Track 01.mp3\nName doppelt: auch für Track 01 - Allegro.mp3");
        row("in the way beside, empty, unchanged", "ab/keep,abcd,Äö.mp3,cd 1.mp3,cd.mp3", "cd 1.mp3", options(Beside, 2, {}, true),
            "marked: ab\nexistiert schon|marked: .mp3\nName leer||marked: cd.mp3\nName unverändert");
        row("same name into MOBIX", "kurz.mp3", "", options(IntoMobix, 30, {}, true), "kurz.mp3");
        row("too long", "a.mp3", "", options(Beside, 30, QString(260, u'x') + "%#"),
            "marked: " + QString(260, u'x') + "1.mp3\nName zu lang");
    }
    void hints()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, unticked);
        QFETCH(RenameOptions, options);
        QFETCH(QString, tips);
        makeFiles(names);
        std::vector<BatchEntry> entries;
        for (const QString &name : names)
            if (!name.contains('/'))
                entries.push_back(entry(name, name != unticked));
        const QStringList before = onDisk();
        const std::vector<PlannedEntry> plan = previewRun(entries, options, m_folder->path() + '/');
        const PreviewHints hints = previewHints(entries, plan, options);
        QStringList shown;
        for (size_t i = 0; i < entries.size(); ++i)
            shown << QString(hints.marks[i] ? "marked: " : "") + previewToolTip(entries, plan, options, i).mid(prefix.size());
        QCOMPARE(shown.join('|'), tips);
        QCOMPARE(onDisk(), before);
    }
    void marksFollowEveryChange()
    {
        prepare({"Track 01 - Allegro.mp3", "Track 02!.mp3", "Zugabe.wav"}, false, false);
        QCOMPARE(tip(0), QString());
        // Each change as the user makes it, then the tooltip of a row and the rows marked.
        const auto change = [&](const std::function<void()> &action, int row, const QString &hint, const QString &marks) {
            action();
            QCOMPARE(tip(row), hint.isEmpty() ? hint : prefix + hint);
            QCOMPARE(marked().join(u'|'), marks);
            // A screen reader reads a marked entry's tooltip, its new name and the mark's reason, as
            // the entry's description.
            QCOMPARE(list()->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).toString(),
                     list()->isMarked(row) ? tip(row) : QString());
        };
        const auto clickOn = [this](const char *name) {
            QTest::mouseClick(c<QAbstractButton>(name), Qt::LeftButton, {}, QPoint(6, 12));
        };
        list()->setFocus();
        list()->setCurrentIndex(list()->model()->index(0, 0));
        change([&] { QTest::keyClick(list(), Qt::Key_Space); }, 0, "Track 01 - Allegro.mp3", ""); // a tick by the keyboard
        // The folder, just written, is read again while its time is too recent to trust; its names
        // unchanged, no new preview is made, and the window comes to rest.
        QSignalSpy updates(m_window->findChild<PreviewController *>(), &PreviewController::updated);
        QTest::qWait(500);
        QVERIFY2(updates.count() <= 1, qPrintable(QString::number(updates.count())));
        change([&] { clickOn("Overwrite"); }, 0, "Track 01 - Allegro.mp3\nName unverändert", "Track 01 - Allegro.mp3");
        QCOMPARE(list()->visualRect(list()->model()->index(0, 0)).height(), list()->sizeHintForRow(1)); // the mark keeps it
        change([&] { type("MaxFileLength", "8"); }, 0, "Track 01.mp3", "");
        change([&] { clickOn("Overwrite"); c<QCheckBox>("Subdirectory")->setChecked(false); }, 0, "Track 01.mp3", "");
        change([&] { c<QCheckBox>("Special")->setChecked(false); clickOn("Rename"); type("NewFilename", "Lied-%#"); }, 0,
               "Lied-1.mp3", "");
        change([&] { click("AllFiles"); }, 2, "Lied-3.wav", "");
        change([&] { list()->setSelected(0, false); }, 0, "", "");
        change([] {}, 1, "Lied-1.mp3", "");
        change([&] { clickOn("CutAfterLength"); type("MaxFileLength", "9"); }, 1, "Track 02!.mp3\nName unverändert",
               "Track 02!.mp3|Zugabe.wav");
        change([&] { c<QCheckBox>("Special")->setChecked(true); }, 1, "Track 02.mp3", "Zugabe.wav");
        // Allowed characters count once confirmed in their dialog. The dialog stays open beside the
        // window, and a second click only brings it to the front, keeping what was ticked meanwhile.
        change([&] {
            click("SelectSpecial");
            m_window->specialSelect()->box(1)->setChecked(true); // "!"
            click("SelectSpecial");
        }, 1, "Track 02.mp3", "Zugabe.wav");
        SpecialSelect *dialog = m_window->specialSelect();
        QVERIFY(dialog->isVisible() && !dialog->isModal() && !dialog->parent());
        change([&] { QTest::mouseClick(dialog->findChild<QPushButton *>("OK"), Qt::LeftButton); }, 1,
               "Track 02!.mp3\nName unverändert", "Track 02!.mp3|Zugabe.wav");
        // A new filter lists afresh: nothing ticked, no tooltips until a tick.
        list()->setSelected(0, true);
        QCOMPARE(tip(0), prefix + "Track 01 .mp3");
        // Spelling out, confirmed in the same dialog, tidies the end of the cut name too; opened
        // again, the dialog shows the "!" confirmed before, which stays allowed.
        change([&] {
            click("SelectSpecial");
            dialog->transliterateBox()->setChecked(true);
            QTest::mouseClick(dialog->findChild<QPushButton *>("OK"), Qt::LeftButton);
        }, 0, "Track 01.mp3", "Track 02!.mp3|Zugabe.wav");
        change([&] { c<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.wav")); }, 0, "", "");
        QCOMPARE(list()->texts(), QStringList{"Zugabe.wav"});
        change([&] { list()->setSelected(0, true); }, 0, "Zugabe.wav\nName unverändert", "Zugabe.wav");
        // Another program takes the new name: the next change shows it, once a worker has looked at
        // the folder (its time set apart, as a file system's clock may not have moved on).
        makeFiles({"Zug.wav"});
#ifndef Q_OS_WIN // a Windows folder has no time of its own to set here
        const struct timeval past[2] = {{1000000000, 0}, {1000000000, 0}};
        QVERIFY(::utimes(QFile::encodeName(m_folder->path()).constData(), past) == 0);
#endif
        type("MaxFileLength", "3");
        QTRY_COMPARE(tip(0), prefix + "Zug.wav\nexistiert schon");

        // The mark stands out from the list's background and keeps the text legible (WCAG contrast),
        // in a light and in a dark palette.
        const auto contrast = [](const QColor &a, const QColor &b) {
            const auto lum = [](const QColor &c) {
                const auto f = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
                return 0.2126 * f(c.redF()) + 0.7152 * f(c.greenF()) + 0.0722 * f(c.blueF()) + 0.05;
            };
            return std::max(lum(a), lum(b)) / std::min(lum(a), lum(b));
        };
        for (const auto &[base, text] : {std::pair{QColor(Qt::white), QColor(Qt::black)},
                                         std::pair{QColor(0x1e, 0x1e, 0x1e), QColor(Qt::white)}}) {
            QPalette palette = list()->palette();
            palette.setColor(QPalette::Base, base);
            palette.setColor(QPalette::Text, text);
            list()->setPalette(palette);
            const QColor mark = list()->model()->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color();
            QVERIFY2(contrast(mark, text) >= 4.5 && contrast(mark, base) >= 1.3, qPrintable(mark.name()));
        }
    }
    void previewWindowAndMenu()
    {
        prepare({"Allegro - Track 1.mp3", "Andante - Track 2.mp3", "kurz.mp3"}, true, true);
        const QStringList before = onDisk();

        // A right click on the list opens its menu; undo is greyed while there is nothing to undo.
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 20), list()->viewport()->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::sendEvent(list()->viewport(), &rightClick);
        auto *menu = c<QMenu>("FileListMenu");
        QTRY_VERIFY(menu->isVisible() && !m_window->canUndo());
        QStringList items;
        for (const QAction *action : menu->actions())
            items << action->text() + ' ' + action->shortcut().toString() + (action->isEnabled() ? "" : " greyed");
        QCOMPARE(items, (QStringList{"Vorschau der neuen Namen… ", "Letzten Lauf rückgängig machen Ctrl+Z greyed"}));
        menu->hide();
        // The Menu key (the system turns it into a keyboard menu event) opens it under the current entry.
        list()->setFocus();
        list()->setCurrentIndex(list()->model()->index(2, 0));
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(100, 200), QPoint(900, 900));
        QCoreApplication::sendEvent(list(), &key);
        QTRY_VERIFY(menu->isVisible());
        const QRect entry = list()->visualRect(list()->currentIndex());
        QCOMPARE(menu->pos().y(), list()->viewport()->mapToGlobal(entry.bottomLeft()).y());
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return); // the first entry: the preview
        PreviewWindow *preview = m_window->previewWindow();
        QVERIFY(preview && preview->isVisible() && !preview->isModal() && !preview->parent());
        QCOMPARE(QFontInfo(preview->font()).family(), QStringLiteral("Tahoma"));

        // Problems first, then the rest in list order; rows separated by "/", cells by "|".
        const auto table = [preview] {
            QCoreApplication::processEvents();
            QStringList rows;
            for (int row = 0; row < preview->rowCount(); ++row)
                rows << preview->cell(row, 0) + '|' + preview->cell(row, 1) + '|' + preview->cell(row, 2);
            return rows.join('/');
        };
        const QString a = "Allegro - Track 1.mp3", b = "Andante - Track 2.mp3", kurz = "kurz.mp3|kurz.mp3|Name unverändert";
        QCOMPARE(table(), a + '|' + a + "|Name unverändert/" + b + '|' + b + "|Name unverändert/" + kurz);
        type("MaxFileLength", "7");
        QCOMPARE(table(), kurz + '/' + a + "|Allegro.mp3|wird umbenannt/" + b + "|Andante.mp3|wird umbenannt");
        QTest::mouseClick(preview->findChild<QCheckBox *>("ProblemsOnly"), Qt::LeftButton);
        QCOMPARE(table(), kurz);
        QTest::mouseClick(preview->findChild<QCheckBox *>("ProblemsOnly"), Qt::LeftButton);
        // A relisting leaves nothing ticked, and nothing to show.
        c<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.mp3"));
        QCOMPARE(list()->count(), 3);
        QCOMPARE(table(), QString());

        // Ctrl+Z with nothing to undo does nothing; Escape closes the preview; nothing changed.
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        preview->activateWindow();
        QTest::keyClick(preview, Qt::Key_Escape);
        QVERIFY(!preview->isVisible());
        QCOMPARE(m_messages.count(), 0);
        QCOMPARE(onDisk(), before);
        // Closing the main window takes the preview and the open dialog of allowed characters with
        // it, the dialog without writing back what was ticked in it.
        preview->showWindow();
        click("SelectSpecial");
        m_window->specialSelect()->box(1)->setChecked(true); // "!"
        m_window->close();
        QVERIFY(!m_window->previewWindow() && !m_window->specialSelect());
        QVERIFY(!m_window->specialListe().contains(QLatin1Char('!')));
    }

private:
    QString tip(int row) const
    {
        QCoreApplication::processEvents(); // the coalesced recomputation runs here
        return list()->model()->index(row, 0).data(Qt::ToolTipRole).toString();
    }
    QStringList onDisk() const { return folderState(m_folder->path() + '/'); }
    QStringList marked() const
    {
        QStringList rows;
        for (int i = 0; i < list()->count(); ++i)
            if (list()->isMarked(i))
                rows << list()->text(i);
        return rows;
    }
    void type(const char *field, const QString &text)
    {
        auto *edit = c<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
    }
    // Lists the folder with every file, each holding its name, all ticked or none; the other
    // options stay at their defaults (copies into MOBIX, cut after 30, characters removed).
    void prepare(const QStringList &names, bool ticked, bool inPlace)
    {
        makeFiles(names);
        c<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.*"));
        open(m_folder->path());
        list()->setAllSelected(ticked);
        c<QCheckBox>("Overwrite")->setChecked(inPlace);
    }
};


QTEST_MAIN(TestPreview)
#include "test_preview.moc"
