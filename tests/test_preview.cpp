// The preview of a run through the main window, on real folders: the new names in the file
// list's tooltips and the preview window are the names the run then gives, every problem is
// marked, and the marks and the window follow every change.
#include "app/previewwindow.h"
#include "app/specialselect.h"
#include "toolkit/controls.h"
#include "folderstate.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QWindow>

namespace {
enum Mode { InPlace, IntoMobix, Beside };
const QString prefix = QStringLiteral("neuer Name: ");

// Names are separated by ","; the hint is the tooltip of the one entry marked, or of the first
// ticked entry when none is (then the run follows).
void row(const char *name, const QString &names, const char *ticks, Mode mode, const char *length,
         const QString &pattern, bool special, const QString &marked, const QString &hint)
{
    QTest::newRow(name) << names.split(',') << QString(ticks) << int(mode) << QString(length) << pattern << special
                        << marked << prefix + hint;
}
} // namespace

class TestPreview : public QObject, public WindowFixture
{
    Q_OBJECT
private slots:
    void initTestCase() { toolkit::ensureTahoma(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void preview_data();
    void preview();
    void marksFollowEveryChange();
    void previewWindowAndMenu();

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
        for (int i = 0; i < list()->count(); ++i) {
            if (list()->isMarked(i))
                rows << list()->text(i);
        }
        return rows;
    }
    void type(const char *field, const QString &text)
    {
        auto *edit = c<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        // Typed key by key; a character beyond ASCII comes in as an input method gives it.
        for (const QChar ch : text) {
            if (ch.unicode() < 128)
                QTest::keyClick(edit, ch.toLatin1());
            else
                edit->insert(QString(ch));
        }
        QCOMPARE(edit->text(), text);
    }
    // Lists the folder with every file, each holding its name, ticks by "x", and sets the
    // options as the user does.
    void prepare(const QStringList &names, const QString &ticks, int mode, const QString &length,
                 const QString &pattern, bool special)
    {
        for (const QString &name : names)
            makeFile(name, bytesOf(name));
        c<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.*"));
        open(m_folder->path());
        for (int i = 0; i < ticks.size(); ++i)
            list()->setSelected(i, ticks.at(i) == u'x');
        c<QCheckBox>("Overwrite")->setChecked(mode == InPlace);
        c<QCheckBox>("Subdirectory")->setChecked(mode == IntoMobix);
        c<QCheckBox>("Special")->setChecked(special);
        type("MaxFileLength", length);
        if (!pattern.isEmpty()) {
            QTest::mouseClick(c<QRadioButton>("Rename"), Qt::LeftButton, {}, QPoint(6, 12));
            type("NewFilename", pattern);
        }
        QCOMPARE(c<QRadioButton>("Rename")->isChecked(), !pattern.isEmpty());
    }
};

void TestPreview::preview_data()
{
    // The pattern is "" in the cut mode; row is the one entry marked, "" for none.
    columns<QStringList, QString, int, QString, QString, bool, QString, QString>("names", "ticks", "mode", "length",
                                                                                 "pattern", "special", "row", "hint");
    const QString songs = "01 - Schubert - Ständchen.mp3,02 - Grüße aus Köln.mp3,Ça plane pour moi.wav,"
                          "live.at.home.mp3,README";
    row("cut into MOBIX, removal", songs, "xxxxx", IntoMobix, "9", "", true, "", "01 - Schu.mp3");
    row("cut beside", songs, "xx.x.", Beside, "6", "", false, "", "01 - S.mp3");
    row("cut in place, removal", songs, ".xxxx", InPlace, "4", "", true, "", "02 -.mp3");
    row("numbered in place", songs, "x.x.x", InPlace, "30", "%# - Dateiname", true, "", "1 - Dateiname.mp3");
    row("numbered into MOBIX, removal", songs, ".xxxx", IntoMobix, "30", "Lied! %#", true, "", "1Lied .mp3");
    row("numbered beside", songs, ".xxx.", Beside, "30", "Grüße %#", false, "", "Grüße 1.mp3");
    row("dotless", "README,Über uns", "xx", InPlace, "3", "", false, "", "REA");
    const QString tracks = "Track 01 - Allegro.mp3,Track 01 - Andante.mp3";
    const QString clash = "Track 01.mp3\nName doppelt: auch für Track 01 - Allegro.mp3";
    row("two cut to one name in MOBIX", tracks, "xx", IntoMobix, "8", "", true, "Track 01 - Andante.mp3", clash);
    row("two cut to one name in place", tracks, "xx", InPlace, "8", "", true, "Track 01 - Andante.mp3", clash);
    row("a file in the way beside", "Schubert - Ständchen.mp3,Schubert.mp3", "x.", Beside, "8", "", true,
        "Schubert - Ständchen.mp3", "Schubert.mp3\nexistiert schon");
    row("a folder in the way", "ab/keep,abcd", "x", InPlace, "2", "", true, "abcd", "ab\nexistiert schon");
    row("a path", "a.mp3", "x", InPlace, "30", "sub/%#", false, "a.mp3", "sub/1.mp3\nName nicht erlaubt");
    row("empty", "Äö", "x", IntoMobix, "30", "", true, "Äö", "\nName nicht erlaubt");
    row("too long", "a.mp3", "x", InPlace, "30", QString(260, u'x') + "%#", false, "a.mp3",
        QString(260, u'x') + "1.mp3\nName zu lang");
    row("unchanged in place", "kurz.mp3", "x", InPlace, "30", "", true, "kurz.mp3", "kurz.mp3\nName unverändert");
    row("unchanged beside", "kurz.mp3", "x", Beside, "30", "", true, "kurz.mp3", "kurz.mp3\nName unverändert");
    row("same name into MOBIX", "kurz.mp3", "x", IntoMobix, "30", "", true, "", "kurz.mp3");
}

void TestPreview::preview()
{
    QFETCH(QStringList, names);
    QFETCH(QString, ticks);
    QFETCH(int, mode);
    QFETCH(QString, length);
    QFETCH(QString, pattern);
    QFETCH(bool, special);
    QFETCH(QString, row);
    QFETCH(QString, hint);
    prepare(names, ticks, mode, length, pattern, special);
    const QStringList before = onDisk();
    const int at = row.isEmpty() ? int(ticks.indexOf(u'x')) : int(list()->texts().indexOf(row));
    QCOMPARE(tip(at), hint);
    QCOMPARE(marked(), row.isEmpty() ? QStringList() : QStringList{row});
    for (int i = 0; i < list()->count(); ++i) // the mark keeps the row's height
        QCOMPARE(list()->visualRect(list()->model()->index(i, 0)).height(), list()->sizeHintForRow(0));

    // The preview window shows each ticked entry's tooltip, the problems first; nothing changes.
    QStringList expected, shown, planned; // planned: what the run makes, as the folder's state shows it
    for (bool problems : {true, false}) {
        for (int i = 0; i < list()->count(); ++i) {
            if (!list()->isSelected(i) || list()->isMarked(i) != problems)
                continue;
            const QString text = list()->text(i), newName = tip(i).mid(prefix.size()).section(u'\n', 0, 0);
            expected << text + " | " + tip(i).mid(prefix.size()).replace(u'\n', " | ");
            planned << (newName == text ? text : newName + '=' + text);
        }
    }
    emit list()->menuRequested(QPoint(5, 5));
    c<QMenu>("FileListMenu")->findChild<QAction *>("PreviewAction")->trigger();
    PreviewWindow *window = m_window->previewWindow();
    for (int r = 0; r < window->rowCount(); ++r)
        shown << window->cell(r, 0) + " | " + window->cell(r, 1) + (r < marked().size() ? " | " + window->cell(r, 2) : "");
    QCOMPARE(shown, expected);
    QCOMPARE(onDisk(), before);
    if (!row.isEmpty())
        return;

    // The run gives exactly these names, each with its original's bytes; the run may go on off
    // the window's thread.
    const QStringList listed = list()->texts();
    click("Cut");
    expected = planned;
    for (int i = 0; i < ticks.size() && mode != IntoMobix; ++i) {
        if (mode == Beside || ticks.at(i) != u'x')
            expected << listed.at(i);
    }
    expected.sort();
    QTRY_COMPARE(folderState(m_folder->path() + (mode == IntoMobix ? "/MOBIX/" : "/")), expected);
    QCOMPARE(m_messages.count(), 0);
}

void TestPreview::marksFollowEveryChange()
{
    prepare({"Track 01 - Allegro.mp3", "Track 02!.mp3", "Zugabe.wav"}, "...", IntoMobix, "30", "", true);
    QCOMPARE(tip(0), QString());
    // Each change as the user makes it, then the tooltip of a row and, where given, the rows marked.
    const auto change = [&](const std::function<void()> &action, int row, const QString &hint, const char *marks = "-") {
        action();
        QCOMPARE(tip(row), hint.isEmpty() ? hint : prefix + hint);
        if (QByteArray(marks) != "-")
            QCOMPARE(marked().join(u'|'), QString(marks));
    };
    const auto clickOn = [this](const char *name) {
        QTest::mouseClick(c<QAbstractButton>(name), Qt::LeftButton, {}, QPoint(6, 12));
    };
    list()->setFocus();
    list()->setCurrentIndex(list()->model()->index(0, 0));
    change([&] { QTest::keyClick(list(), Qt::Key_Space); }, 0, "Track 01 - Allegro.mp3"); // a tick by the keyboard
    change([&] { clickOn("Overwrite"); }, 0, "Track 01 - Allegro.mp3\nName unverändert", "Track 01 - Allegro.mp3");
    change([&] { type("MaxFileLength", "8"); }, 0, "Track 01.mp3", "");
    change([&] { clickOn("Overwrite"); c<QCheckBox>("Subdirectory")->setChecked(false); }, 0, "Track 01.mp3");
    change([&] { c<QCheckBox>("Special")->setChecked(false); clickOn("Rename"); type("NewFilename", "Lied-%#"); }, 0,
           "Lied-1.mp3");
    change([&] { click("AllFiles"); }, 2, "Lied-3.wav");
    change([&] { list()->setSelected(0, false); }, 0, "");
    change([] {}, 1, "Lied-1.mp3");
    change([&] { clickOn("CutAfterLength"); type("MaxFileLength", "9"); }, 1, "Track 02!.mp3\nName unverändert");
    change([&] { c<QCheckBox>("Special")->setChecked(true); }, 1, "Track 02.mp3");
    // Allowed characters count once confirmed in their dialog.
    change([&] { click("SelectSpecial"); m_window->specialSelect()->box(1)->setChecked(true); }, 1, "Track 02.mp3");
    change([&] { QTest::mouseClick(m_window->specialSelect()->findChild<QPushButton *>("OK"), Qt::LeftButton); }, 1,
           "Track 02!.mp3\nName unverändert");
    // A new filter lists afresh: nothing ticked, no tooltips until a tick.
    list()->setSelected(0, true);
    QCOMPARE(tip(0), prefix + "Track 01 .mp3");
    change([&] { c<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.wav")); }, 0, "");
    QCOMPARE(list()->texts(), QStringList{"Zugabe.wav"});
    change([&] { list()->setSelected(0, true); }, 0, "Zugabe.wav\nName unverändert");

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

void TestPreview::previewWindowAndMenu()
{
    prepare({"Allegro - Track 1.mp3", "Andante - Track 2.mp3", "kurz.mp3"}, "xxx", InPlace, "30", "", true);
    const QStringList before = onDisk();

    // A right click on the list opens its menu; undo is greyed while there is nothing to undo.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), list()->viewport()->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(list()->viewport(), &click);
    auto *menu = c<QMenu>("FileListMenu");
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Vorschau der neuen Namen…"));
    QCOMPARE(menu->actions()[1]->text(), QStringLiteral("Letzten Lauf rückgängig machen"));
    QCOMPARE(menu->actions()[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QVERIFY(menu->actions()[0]->isEnabled() && !menu->actions()[1]->isEnabled() && !m_window->canUndo());
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

    // Problems first, then the rest in list order.
    const auto table = [preview] {
        QCoreApplication::processEvents();
        QStringList rows;
        for (int row = 0; row < preview->rowCount(); ++row)
            rows << preview->cell(row, 0) + " | " + preview->cell(row, 1) + " | " + preview->cell(row, 2);
        return rows;
    };
    QCOMPARE(table(), (QStringList{"Allegro - Track 1.mp3 | Allegro - Track 1.mp3 | Name unverändert",
                                   "Andante - Track 2.mp3 | Andante - Track 2.mp3 | Name unverändert",
                                   "kurz.mp3 | kurz.mp3 | Name unverändert"}));
    type("MaxFileLength", "7");
    QCOMPARE(table(), (QStringList{"kurz.mp3 | kurz.mp3 | Name unverändert",
                                   "Allegro - Track 1.mp3 | Allegro.mp3 | wird umbenannt",
                                   "Andante - Track 2.mp3 | Andante.mp3 | wird umbenannt"}));
    QTest::mouseClick(preview->findChild<QCheckBox *>("ProblemsOnly"), Qt::LeftButton);
    QCOMPARE(table(), QStringList{"kurz.mp3 | kurz.mp3 | Name unverändert"});
    QTest::mouseClick(preview->findChild<QCheckBox *>("ProblemsOnly"), Qt::LeftButton);
    // A relisting leaves nothing ticked, and nothing to show.
    c<QComboBox>("Extension")->setCurrentText(QStringLiteral("*.mp3"));
    QCOMPARE(list()->count(), 3);
    QCOMPARE(table(), QStringList());

    // Ctrl+Z with nothing to undo does nothing; Escape closes the preview; nothing changed.
    QTest::keyClick(m_window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    preview->activateWindow();
    QTest::keyClick(preview, Qt::Key_Escape);
    QVERIFY(!preview->isVisible());
    QCOMPARE(m_messages.count(), 0);
    QCOMPARE(onDisk(), before);
    // Closing the main window takes the preview with it.
    preview->showWindow();
    m_window->close();
    QVERIFY(!m_window->previewWindow());
}

QTEST_MAIN(TestPreview)
#include "test_preview.moc"
