#include <QTest>

#include "columns.h"
#include "engine/namerules.h"

class TestNameRules : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, name);
        QFETCH(QString, arg);
        QFETCH(QString, expected);
        NextNumber = arg.toInt();
        for (const QString &want : expected.split(QLatin1Char('|'))) {
            const QString got = rule == "strip"    ? StripExtension(name)
                                : rule == "cut"    ? CutFilename(name, arg.toInt())
                                : rule == "remove" ? RemoveSpecial(name, arg)
                                                   : NumberFilename(name);
            QCOMPARE(got, want);
        }
    }
};

// Each row applies one rule to a name or pattern. arg is the length, the allowed characters or
// the starting number; expected holds the results of successive calls, separated by "|".
void TestNameRules::rules_data()
{
    columns<QString, QString, QString, QString>("rule", "name", "arg", "expected");
    const auto row = [](const char *rule, const QString &name, const QString &arg, const QString &expected) {
        QTest::addRow("%s(%s, %s)", rule, qPrintable(name), qPrintable(arg.left(8)))
            << rule << name << arg << expected;
    };
    row("strip", "live.at.home.mp3", "", "live.at.home");
    row("strip", "x.", "", "x");
    row("strip", "README", "", "");
    row("strip", ".profile", "", "");
    row("cut", "abc", "-5", ""); // a negative length cuts everything
    row("remove", "ABCabc", "abc", "abc");
    row("remove", "aab", "aaab", "aab"); // a repeated allowed character keeps the name's once
    row("remove", QStringLiteral("x€–y"), QStringLiteral("€y"), QStringLiteral("€y"));
    row("number", "Track %# live", "1", "Track 1 live");
    row("number", "%#%#", "1", "1%#");
    row("number", "%#", "2147483647", "2147483647|2147483647"); // stops instead of overflowing
}

QTEST_GUILESS_MAIN(TestNameRules)
#include "test_namerules.moc"
