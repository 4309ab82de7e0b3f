#include <QTest>

#include "engine/namerules.h"

namespace {
const QString defaultAllowed = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");
}

class TestNameRules : public QObject
{
    Q_OBJECT

private slots:
    void stripExtension_data();
    void stripExtension();
    void cutFilename_data();
    void cutFilename();
    void removeSpecial_data();
    void removeSpecial();
    void numberFilename_data();
    void numberFilename();
};

void TestNameRules::stripExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one dot") << "song.mp3" << "song";
    QTest::newRow("several dots keep all but the last") << "live.at.home.mp3" << "live.at.home";
    QTest::newRow("short parts") << "a.b.c" << "a.b";
    QTest::newRow("ends in a dot") << "x." << "x";
    QTest::newRow("no dot gives empty") << "README" << "";
    QTest::newRow("leading dot only") << ".profile" << "";
    QTest::newRow("empty") << "" << "";
}

void TestNameRules::stripExtension()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(StripExtension(name), expected);
}

void TestNameRules::cutFilename_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cut to 8") << QStringLiteral("Schubert - Ständchen") << 8 << "Schubert";
    QTest::newRow("shorter stays") << "abc" << 30 << "abc";
    QTest::newRow("exact length stays") << "abcd" << 4 << "abcd";
    QTest::newRow("zero") << "abc" << 0 << "";
    QTest::newRow("negative gives empty") << "abc" << -5 << "";
    // Code units, not characters: a surrogate pair counts as two.
    QTest::newRow("code units") << QString::fromUtf8("a\xF0\x9F\x8E\xB5" "b") << 2 << QString::fromUtf8("a\xF0\x9F\x8E\xB5").left(2);
}

void TestNameRules::cutFilename()
{
    QFETCH(QString, name);
    QFETCH(int, maxLength);
    QFETCH(QString, expected);
    QCOMPARE(CutFilename(name, maxLength), expected);
}

void TestNameRules::removeSpecial_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("allowed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default string") << QStringLiteral("Grüße, Welt!") << defaultAllowed << "Gre Welt";
    QTest::newRow("case-sensitive") << "ABCabc" << "abc" << "abc";
    QTest::newRow("only removed characters") << QStringLiteral("äöü") << defaultAllowed << "";
    QTest::newRow("placeholder removed") << "%# - Dateiname" << defaultAllowed << " - Dateiname";
    QTest::newRow("empty allowed removes all") << "abc" << "" << "";
    QTest::newRow("empty name") << "" << defaultAllowed << "";
    QTest::newRow("repeated allowed keeps once") << "aab" << "aaab" << "aab";
    QTest::newRow("allowed beyond Latin-1") << QStringLiteral("x€y") << QStringLiteral("€y") << QStringLiteral("€y");
    QTest::newRow("umlaut allowed") << QStringLiteral("Grüße") << QStringLiteral("Grüe") << QStringLiteral("Grüe");
}

void TestNameRules::removeSpecial()
{
    QFETCH(QString, name);
    QFETCH(QString, allowed);
    QFETCH(QString, expected);
    QCOMPARE(RemoveSpecial(name, allowed), expected);
}

void TestNameRules::numberFilename_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("default pattern twice") << 1 << QStringList{"%# - Dateiname", "%# - Dateiname"}
                                           << QStringList{"1 - Dateiname", "2 - Dateiname"};
    QTest::newRow("inside") << 1 << QStringList{"Track %# live"} << QStringList{"Track 1 live"};
    QTest::newRow("no placeholder in front") << 1 << QStringList{"Lied"} << QStringList{"1Lied"};
    QTest::newRow("first placeholder only") << 1 << QStringList{"%#%#"} << QStringList{"1%#"};
    QTest::newRow("empty pattern") << 1 << QStringList{""} << QStringList{"1"};
    QTest::newRow("percent at end") << 1 << QStringList{"a%"} << QStringList{"1a%"};
    QTest::newRow("no padding") << 9 << QStringList{"%#", "%#"} << QStringList{"9", "10"};
    QTest::newRow("after removal") << 1 << QStringList{" - Dateiname"} << QStringList{"1 - Dateiname"};
    QTest::newRow("stops at the largest value") << 2147483647 << QStringList{"%#", "%#"}
                                                << QStringList{"2147483647", "2147483647"};
}

void TestNameRules::numberFilename()
{
    QFETCH(int, start);
    QFETCH(QStringList, patterns);
    QFETCH(QStringList, expected);
    NextNumber = start;
    for (qsizetype i = 0; i < patterns.size(); ++i)
        QCOMPARE(NumberFilename(patterns[i]), expected[i]);
}

QTEST_GUILESS_MAIN(TestNameRules)
#include "test_namerules.moc"
