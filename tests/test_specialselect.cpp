#include <QCheckBox>
#include <QTest>

#include "app/specialselect.h"
#include "columns.h"
#include "testsupport.h"

namespace {

const QString defaultList = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_."_qs;

QString codes(int first, int last)
{
    QString text;
    for (int code = first; code <= last; ++code)
        text += charactertable::fromWindows1252(code);
    return text;
}

// The main window's side of the dialog: its allowed-character string, every write-back and
// every message box, answered No unless the user has said "Yes".
struct FakeMain {
    explicit FakeMain(const QString &initial) : liste(initial) { dialog.showDialog(); }
    // One step of the user: a button by name, a box by its character, or Yes, show, close.
    void press(const QString &name)
    {
        if (name == u"Yes")
            messages.setAnswer(toolkit::ResultYes);
        else if (name == u"show")
            dialog.showDialog();
        else if (name == u"close")
            dialog.close();
        else if (name == u"Escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (name.startsWith(u"Return@")) { // Return on the focused button or box
            widget(name.mid(7))->setFocus();
            QTest::keyClick(widget(name.mid(7)), Qt::Key_Return);
        } else
            QTest::mouseClick(widget(name), Qt::LeftButton);
    }
    QWidget *widget(const QString &name)
    {
        return name.size() == 1 ? dialog.box(name[0].unicode() - 32) : dialog.findChild<QWidget *>(name);
    }

    QString liste;
    bool transliterate = false;
    QStringList writes; // "|ae" marks a write with transliteration on
    MessageRecorder messages{toolkit::ResultNo};
    SpecialSelect dialog{[this] { return SpecialSelect::Choice{liste, transliterate}; },
                         [this](const SpecialSelect::Choice &c) {
                             writes << (liste = c.list) + (c.transliterate ? "|ae" : "");
                             transliterate = c.transliterate;
                         }};
};

} // namespace

class TestSpecialSelect : public QObject
{
    Q_OBJECT

private slots:
    void boxes_data()
    {
        columns<int, QString>("code", "texts"); // caption|tooltip
        QTest::newRow("space") << 32 << " |Leerzeichen";
        QTest::newRow("ampersand, no mnemonic") << 38 << "&&|Zeichen &";
        QTest::newRow("euro") << 128 << "€|Zeichen €";
        QTest::newRow("unassigned 129") << 129 << "\u0081|Zeichen \u0081";
        QTest::newRow("no-break space") << 160 << "\u00A0|Zeichen \u00A0";
    }
    void boxes()
    {
        QFETCH(int, code);
        QFETCH(QString, texts);
        FakeMain main(QString{});
        QCOMPARE(main.dialog.box(code - 32)->text() + u'|' + main.dialog.box(code - 32)->toolTip(), texts);
    }
    void steps_data()
    {
        // The steps are separated by spaces; copy is the working copy at the end, writes the one
        // write-back.
        columns<QString, QString, QString, QString, int>("incoming", "steps", "copy", "writes", "warnings");
        const QString a25 = codes('A', 'Y'), a26 = codes('A', 'Z'), aaa = QString(26, u'A');
        QTest::newRow("default ticks its 66 boxes") << defaultList << "" << defaultList << "" << 0;
        QTest::newRow("ABCA minus A") << "ABCA" << "A" << "BC" << "" << 0;
        QTest::newRow("ABCA minus A plus A") << "ABCA" << "A A" << "BCA" << "" << 0;
        QTest::newRow("A - Z appends") << "xyz" << "großAbisZ" << "xyz" + a26 << "" << 0;
        QTest::newRow("lone Q and A - Z") << "Q" << "großAbisZ" << "" << "" << 0;
        QTest::newRow("a - z") << "Qmm" << "kleinabisz" << "Q" << "" << 0;
        QTest::newRow("0 - 9 twice") << "9-" << "NullBisNeun NullBisNeun" << "-" + codes('0', '9') << "" << 0;
        QTest::newRow("tab, doubled A, all") << "A\tA" << "AllSigns" << "A\tA" + codes(32, 64) + codes(66, 255) << "" << 0;
        QTest::newRow("tab, doubled A, none") << "A\tA" << "NoSigns" << "\t" << "" << 0;
        QTest::newRow("OK at 25, No") << a25 << "OK" << a25 << "" << 1;
        QTest::newRow("OK at 25, Yes") << a25 << "Yes OK" << a25 << a25 << 1;
        QTest::newRow("repeats count") << aaa << "OK" << aaa << aaa << 0;
        QTest::newRow("transliteration ticked, OK") << a26 << "Transliterate OK" << a26 << a26 + "|ae" << 0;
        // A confirmed close in an earlier opening must not make a later one save.
        QTest::newRow("Abbrechen") << a26 << "OK show NoSigns Abort" << "" << a26 << 0;
        QTest::newRow("close box") << a26 << "OK show NoSigns close" << "" << a26 << 0;
        QTest::newRow("Escape") << a26 << "OK show NoSigns Escape" << "" << a26 << 0;
        // Return clicks the focused button, as Space does; on a box it closes nothing.
        QTest::newRow("Return on OK") << a26 << "Return@OK" << a26 << a26 << 0;
        QTest::newRow("Return on a range button") << "xyz" << "Return@großAbisZ" << "xyz" + a26 << "" << 0;
        QTest::newRow("Return on a box") << a26 << "Return@A" << a26 << "" << 0;
    }
    void steps()
    {
        QFETCH(QString, incoming);
        QFETCH(QString, steps);
        QFETCH(QString, copy);
        QFETCH(QString, writes);
        QFETCH(int, warnings);
        FakeMain main(incoming);
        for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts))
            main.press(step);
        QCOMPARE(main.dialog.workingCopy(), copy);
        // The ticked boxes are exactly the characters of the working copy that have one.
        for (int k = 0; k < charactertable::codeCount; ++k)
            QCOMPARE(main.dialog.box(k)->isChecked(), copy.contains(charactertable::boxCharacter(k)));
        QCOMPARE(main.writes, writes.isEmpty() ? QStringList() : QStringList{writes}); // "" is none, not an empty one
        QCOMPARE(main.messages.count(), warnings);
        for (const toolkit::MessageRecord &record : main.messages.records()) {
            QCOMPARE(record.style, toolkit::StyleCriticalYesNo);
            QCOMPARE(record.title + u' ' + record.text,
                     u"Achtung Sie wollen weniger als 26 Zeichen zulassen, dies kann zu Fehlern in der Bearbeitung "
                     u"führen. Es ist empfohlen mindestens alle Buchstaben zuzulassen. Wollen Sie trotzdem fortsetzen?"_qs);
        }
        // Only a write-back, Abbrechen, Escape or the close box ends the dialog.
        const bool ended = !writes.isEmpty() || QStringList{"Abort", "close", "Escape"}.contains(steps.section(u' ', -1));
        QCOMPARE(main.dialog.isVisible(), !ended);
    }
};

QTEST_MAIN(TestSpecialSelect)
#include "test_specialselect.moc"
