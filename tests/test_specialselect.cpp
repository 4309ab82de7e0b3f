#include <memory>

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/charactertable.h"
#include "app/specialselect.h"
#include "toolkit/messagebox.h"

namespace {

const QString defaultList =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");

QString codes(int first, int last)
{
    QString text;
    for (int code = first; code <= last; ++code)
        text += charactertable::fromWindows1252(code);
    return text;
}

// The main window's side of the dialog: its allowed-character string and every write-back.
struct FakeMain {
    explicit FakeMain(const QString &initial) : liste(initial)
    {
        dialog = std::make_unique<SpecialSelect>([this] { ++reads; return liste; },
                                                 [this](const QString &text) {
                                                     writes << text;
                                                     liste = text;
                                                 });
        dialog->showDialog();
    }
    void press(const QString &name)
    {
        auto *button = dialog->findChild<QPushButton *>(name);
        QVERIFY2(button, qPrintable(name));
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QString ticked() const
    {
        QString characters;
        for (int k = 0; k < charactertable::codeCount; ++k) {
            if (dialog->box(k)->isChecked())
                characters += charactertable::boxCharacter(k);
        }
        return characters;
    }

    QString liste;
    int reads = 0;
    QStringList writes;
    std::unique_ptr<SpecialSelect> dialog;
};

} // namespace

class TestSpecialSelect : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { toolkit::setMessageAnswerer({}); }
    void characterTable_data();
    void characterTable();
    void layoutAndTexts();
    void load_data();
    void load();
    void boxChanges();
    void buttons_data();
    void buttons();
    void confirm_data();
    void confirm();
    void closeWithoutConfirm_data();
    void closeWithoutConfirm();
    void reopen();

private:
    QList<toolkit::MessageRecord> m_messages;
    int m_answer = toolkit::ResultNo;
};

void TestSpecialSelect::init()
{
    m_messages.clear();
    m_answer = toolkit::ResultNo;
    toolkit::setMessageAnswerer([this](const toolkit::MessageRecord &record) {
        m_messages << record;
        return m_answer;
    });
}

void TestSpecialSelect::characterTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("unicode");
    QTest::newRow("DEL keeps its box") << 127 << 0x7F;
    QTest::newRow("euro") << 128 << 0x20AC;
    QTest::newRow("unassigned 129") << 129 << 0x81;
    QTest::newRow("unassigned 157") << 157 << 0x9D;
    QTest::newRow("Y diaeresis") << 159 << 0x178;
    QTest::newRow("Latin-1 half") << 160 << 0xA0;
}

void TestSpecialSelect::characterTable()
{
    QFETCH(int, code);
    QFETCH(int, unicode);
    QCOMPARE(charactertable::fromWindows1252(code).unicode(), unicode);
    // Every box must stand for a character of its own, or two boxes would fight over it.
    const QString all = codes(32, 255);
    QCOMPARE(QSet<QChar>(all.begin(), all.end()).size(), charactertable::codeCount);
}

void TestSpecialSelect::layoutAndTexts()
{
    FakeMain main(QString{});
    SpecialSelect *dialog = main.dialog.get();
    QCOMPARE(dialog->size(), QSize(425, 505));
    QVERIFY(dialog->windowTitle().trimmed().isEmpty());
    QVERIFY(dialog->windowFlags().testFlag(Qt::Tool));
    QVERIFY(!(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(dialog->findChild<QGroupBox *>(QStringLiteral("Frame1"))->title(),
             QStringLiteral("zugelassene Zeichen:"));

    QCOMPARE(dialog->box(0)->text(), QStringLiteral(" "));
    QCOMPARE(dialog->box(0)->toolTip(), QStringLiteral("Leerzeichen"));
    QCOMPARE(dialog->box(6)->text(), QStringLiteral("&&"));
    QCOMPARE(dialog->box(6)->toolTip(), QStringLiteral("Zeichen &"));
    QCOMPARE(dialog->box(96)->toolTip(), QStringLiteral("Zeichen €"));
    QCOMPARE(dialog->box(27)->geometry(), QRect(8, 456, 33, 17));
    QCOMPARE(dialog->box(223)->geometry(), QRect(288, 456, 33, 17));

    const auto button = [dialog](const char16_t *name) {
        return dialog->findChild<QPushButton *>(QString::fromUtf16(name));
    };
    QCOMPARE(button(u"großAbisZ")->toolTip(), QStringLiteral("\"A - Z\" ab-/auswählen"));
    QCOMPARE(button(u"NullBisNeun")->toolTip(), QStringLiteral("\"0 - 9\" ab-/auswählen"));
    QCOMPARE(button(u"OK")->geometry(), QRect(328, 416, 65, 25));
    QVERIFY(!button(u"OK")->isDefault() && !button(u"OK")->autoDefault());
    for (QWidget *child : dialog->findChildren<QWidget *>()) {
        QCOMPARE(child->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(child->font().pointSizeF(), 8.25);
    }
}

void TestSpecialSelect::load_data()
{
    QTest::addColumn<QString>("incoming");
    QTest::addColumn<QString>("ticked");
    QTest::newRow("default") << defaultList << QStringLiteral(" -.") + codes('0', '9')
            + codes('A', 'Z') + QStringLiteral("_") + codes('a', 'z');
    QTest::newRow("repeats") << QStringLiteral("ABCA") << QStringLiteral("ABC");
    QTest::newRow("no box") << QStringLiteral("\tA\nA\u4E2D") << QStringLiteral("A");
    QTest::newRow("upper half") << QStringLiteral("ü€ŸÿA") << QStringLiteral("A€Ÿüÿ");
    QTest::newRow("empty") << QString() << QString();
}

void TestSpecialSelect::load()
{
    QFETCH(QString, incoming);
    QFETCH(QString, ticked);
    FakeMain main(incoming);
    QCOMPARE(main.ticked(), ticked);
    QCOMPARE(main.dialog->workingCopy(), incoming);
    QCOMPARE(main.reads, 1);
}

void TestSpecialSelect::boxChanges()
{
    FakeMain main(QStringLiteral("ABCA"));
    QCheckBox *boxA = main.dialog->box('A' - 32);
    QTest::mouseClick(boxA, Qt::LeftButton);
    QCOMPARE(main.dialog->workingCopy(), QStringLiteral("BC"));
    QTest::mouseClick(boxA, Qt::LeftButton);
    QCOMPARE(main.dialog->workingCopy(), QStringLiteral("BCA"));

    // Changes made by code run the same update; setting a state it already has changes nothing.
    QSignalSpy toggles(boxA, &QCheckBox::toggled);
    boxA->setChecked(true);
    QCOMPARE(toggles.count(), 0);
    main.dialog->box(96)->setCheckState(Qt::Checked);
    QCOMPARE(main.dialog->workingCopy(), QStringLiteral("BCA€"));
    boxA->setCheckState(Qt::Unchecked);
    QCOMPARE(main.dialog->workingCopy(), QStringLiteral("BC€"));
}

void TestSpecialSelect::buttons_data()
{
    QTest::addColumn<QString>("incoming");
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QString>("expected");
    const QString capitals = codes('A', 'Z');
    const QString everything = codes(32, 255);
    QTest::newRow("A - Z appends") << "xyz" << QStringList{u"großAbisZ"_qs} << "xyz" + capitals;
    QTest::newRow("A - Z twice") << "xyz" << QStringList{u"großAbisZ"_qs, u"großAbisZ"_qs}
                                 << "xyz";
    QTest::newRow("lone Q clears") << "Q" << QStringList{u"großAbisZ"_qs} << QString();
    QTest::newRow("a - z") << "Qmm" << QStringList{"kleinabisz"} << "Q";
    // A character removed and allowed again goes to the end.
    QTest::newRow("0 - 9 twice") << "9-" << QStringList{"NullBisNeun", "NullBisNeun"}
                                 << "-" + codes('0', '9');
    QTest::newRow("all") << defaultList << QStringList{"AllSigns"}
                         << defaultList + QString(everything).remove(QRegularExpression(
                                QStringLiteral("[A-Za-z0-9 _.-]")));
    QTest::newRow("all then none") << defaultList << QStringList{"AllSigns", "NoSigns"}
                                   << QString();
    QTest::newRow("tab and doubled A pass through")
        << "A\tAb" << QStringList{"kleinabisz", "AllSigns", "kleinabisz", "NullBisNeun"}
        << "A\tA" + QString(everything).remove(QRegularExpression(QStringLiteral("[Aa-z0-9]")));
    QTest::newRow("tab survives none") << "A\tA" << QStringList{"NoSigns"} << "\t";
}

void TestSpecialSelect::buttons()
{
    QFETCH(QString, incoming);
    QFETCH(QStringList, presses);
    QFETCH(QString, expected);
    FakeMain main(incoming);
    for (const QString &name : presses)
        main.press(name);
    QCOMPARE(main.dialog->workingCopy(), expected);
    // The boxes show exactly the characters of the working copy that have one.
    const QString present = main.ticked();
    for (QChar character : codes(32, 255))
        QCOMPARE(present.contains(character), expected.contains(character));
    QVERIFY(main.writes.isEmpty());
}

void TestSpecialSelect::confirm_data()
{
    QTest::addColumn<QString>("incoming");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<bool>("written");
    const QString letters25 = codes('A', 'Y');
    QTest::newRow("25, No keeps it open") << letters25 << int(toolkit::ResultNo) << true << false;
    QTest::newRow("25, Yes writes") << letters25 << int(toolkit::ResultYes) << true << true;
    QTest::newRow("empty, Yes writes") << QString() << int(toolkit::ResultYes) << true << true;
    QTest::newRow("26 at once") << codes('A', 'Z') << int(toolkit::ResultNo) << false << true;
    QTest::newRow("repeats count") << QString(26, u'A') << int(toolkit::ResultNo) << false << true;
}

void TestSpecialSelect::confirm()
{
    QFETCH(QString, incoming);
    QFETCH(int, answer);
    QFETCH(bool, warned);
    QFETCH(bool, written);
    m_answer = answer;
    FakeMain main(incoming);
    main.press(QStringLiteral("OK"));
    QCOMPARE(m_messages.size(), warned ? 1 : 0);
    if (warned) {
        QVERIFY(m_messages[0].text.startsWith(u"Sie wollen weniger als 26 Zeichen zulassen,"));
        QVERIFY(m_messages[0].text.endsWith(u"Wollen Sie trotzdem fortsetzen?"));
        QCOMPARE(m_messages[0].style, 20);
        QCOMPARE(m_messages[0].title, QStringLiteral("Achtung"));
    }
    QCOMPARE(main.dialog->isVisible(), !written);
    QCOMPARE(main.writes, written ? QStringList{incoming} : QStringList{});
}

void TestSpecialSelect::closeWithoutConfirm_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Abbrechen") << 0;
    QTest::newRow("close box") << 1;
    QTest::newRow("Escape") << 2;
    QTest::newRow("program ends with the dialog open") << 3;
}

void TestSpecialSelect::closeWithoutConfirm()
{
    QFETCH(int, how);
    FakeMain main(defaultList);
    // A confirmed close in an earlier opening must not make a later plain close save.
    main.press(QStringLiteral("OK"));
    main.dialog->showDialog();
    main.press(QStringLiteral("NoSigns"));
    if (how == 0)
        main.press(QStringLiteral("Abort"));
    else if (how == 1)
        QVERIFY(main.dialog->close());
    else if (how == 2)
        QTest::keyClick(main.dialog.get(), Qt::Key_Escape);
    else
        main.dialog.reset();
    QVERIFY(!main.dialog || !main.dialog->isVisible());
    QCOMPARE(main.writes, QStringList{defaultList});
    QCOMPARE(main.liste, defaultList);
}

void TestSpecialSelect::reopen()
{
    FakeMain main(QStringLiteral("xyz"));
    main.press(QStringLiteral("NullBisNeun"));
    main.liste = QStringLiteral("changed meanwhile");
    main.dialog->showDialog();
    QCOMPARE(main.reads, 1);
    QCOMPARE(main.dialog->workingCopy(), QStringLiteral("xyz0123456789"));
    QVERIFY(main.dialog->box('5' - 32)->isChecked());

    main.liste = QStringLiteral("xyz");
    m_answer = toolkit::ResultYes;
    main.press(QStringLiteral("kleinabisz"));
    main.press(QStringLiteral("OK"));
    QCOMPARE(main.liste, QStringLiteral("0123456789"));
    QCOMPARE(m_messages.size(), 1);

    main.dialog->showDialog();
    QCOMPARE(main.reads, 2);
    QCOMPARE(main.ticked(), QStringLiteral("0123456789"));
    QCOMPARE(main.dialog->workingCopy(), QStringLiteral("0123456789"));
}

QTEST_MAIN(TestSpecialSelect)
#include "test_specialselect.moc"
