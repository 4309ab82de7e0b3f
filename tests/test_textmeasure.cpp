#include <QTest>

#include "toolkit/textmeasure.h"

#include <QApplication>
#include <QFontMetrics>
#include <QRandomGenerator>

#include <algorithm>

namespace {

int shapeEvery(const QStringList &texts, const QFont &font, const QString &suffix)
{
    if (texts.isEmpty())
        return 0;
    const QFontMetrics metrics(font);
    int widest = metrics.horizontalAdvance(texts.first() + suffix);
    for (const QString &text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text + suffix));
    return widest;
}

QList<QFont> fonts()
{
    QFont bold(QStringLiteral("DejaVu Sans"), 11);
    bold.setBold(true);
    QFont italic(QStringLiteral("DejaVu Serif"), 10);
    italic.setItalic(true);
    QFont large(QStringLiteral("Nimbus Sans"));
    large.setPixelSize(31);
    // Large sizes make the small width a ligature gains or loses count in whole pixels.
    QFont hugeSerif(QStringLiteral("DejaVu Serif"));
    hugeSerif.setPixelSize(400);
    QFont hugeGothic(QStringLiteral("URW Gothic"));
    hugeGothic.setPixelSize(400);
    QFont noKerning(QStringLiteral("DejaVu Sans"), 9);
    noKerning.setKerning(false);
    // Tahoma 8.25 pt is the list's font; fonts the system lacks are replaced, which is fine too.
    return {QApplication::font(), QFont(QStringLiteral("Tahoma"), 8), QFont(QStringLiteral("Tahoma"), 8.25),
            QFont(QStringLiteral("DejaVu Serif"), 9), QFont(QStringLiteral("C059"), 12),
            QFont(QStringLiteral("URW Gothic"), 10), QFont(QStringLiteral("Droid Sans Fallback"), 9),
            bold, italic, large, hugeSerif, hugeGothic, noKerning};
}

QStringList numbered(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("Track %1 - Ein langer Titel.mp3").arg(i, 5, 10, QLatin1Char('0'));
    return names;
}

QStringList randomTexts(quint32 seed, const QString &alphabet, int count, int maxLength)
{
    QRandomGenerator random(seed);
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        QString text;
        const int length = random.bounded(maxLength + 1);
        for (int j = 0; j < length; ++j)
            text += alphabet.at(random.bounded(int(alphabet.size())));
        texts << text;
    }
    return texts;
}

} // namespace

class TestTextMeasure : public QObject
{
    Q_OBJECT

private slots:
    void sameAsShapingEvery_data();
    void sameAsShapingEvery();
    void ligatureAmongNarrowerTexts_data();
    void ligatureAmongNarrowerTexts();
};

void TestTextMeasure::sameAsShapingEvery_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("suffix");
    const QString sixSpaces(6, QLatin1Char(' '));

    QTest::newRow("none") << QStringList{} << sixSpaces;
    QTest::newRow("one empty text") << QStringList{""} << sixSpaces;
    QTest::newRow("empty texts, no suffix") << QStringList{"", ""} << "";
    QTest::newRow("no suffix") << QStringList{"a.mp3", "Lied 1.MP3"} << "";
    QTest::newRow("kerning pairs") << QStringList{"AVAVAVAV.mp3", "WAWAWAWA.mp3", "Tototo.mp3", "LTLTLT.mp3",
                                                  "iiiiiiiiiiiiii.mp3"} << sixSpaces;
    QTest::newRow("kerning with the suffix") << QStringList{"T", "Y", "A", "L"} << "AVT";
    QTest::newRow("ligatures") << QStringList{"office", "affluent", "ffi ffl ff", "fjord", "offline office"}
                               << sixSpaces;
    QTest::newRow("equal widths") << numbered(2000) << sixSpaces;
    QTest::newRow("umlauts and accents") << QStringList{"Ärger über Öl.mp3", "ß ß ß.mp3", "été Škoda.wav"}
                                         << sixSpaces;
    QTest::newRow("greek and cyrillic") << QStringList{"Αθήνα.mp3", "Москва день.mp3"} << sixSpaces;
    QTest::newRow("combining marks") << QStringList{"e\u0301\u0301\u0301\u0301\u0301", "eeeeee"} << sixSpaces;
    QTest::newRow("tab and line break") << QStringList{"a\tb\tc", "a\nbbbbbbbbb", "abc"} << sixSpaces;
    QTest::newRow("string separator cuts") << QStringList{"ab\u009cWWWWWWWWWW", "abc"} << sixSpaces;
    QTest::newRow("soft hyphen and joiners") << QStringList{"a\u00adb", "a\u200db\u200cc", "ab"} << sixSpaces;
    QTest::newRow("surrogate pairs") << QStringList{"\U0001F600\U0001F3B5", "ab", "\U0001D11E x"} << sixSpaces;
    QTest::newRow("right to left") << QStringList{"שלום.mp3", "مرحبا بالعالم.mp3", "abc"} << sixSpaces;
    QTest::newRow("cjk and hangul") << QStringList{"東京の歌.mp3", "한국어 노래.mp3", "ab"} << sixSpaces;
    QTest::newRow("unreadable name") << QStringList{"Lied \ufffd 1.mp3", "Lied 1.mp3"} << sixSpaces;
    QTest::newRow("suffix outside the simple scripts") << QStringList{"abc", "WWW"} << "\u0301\t";
    QTest::newRow("random latin") << randomTexts(7, "AVTWYLfilkrt.,-_ 0123456789äöüÄÖÜß'\"", 3000, 40) << sixSpaces;
    QTest::newRow("random mixed") << randomTexts(11, "aAfiTVW ?!\u0301\u00ad\u00e9\u0416\u03a9\u05d0\u6771\t",
                                                 3000, 30) << sixSpaces;
}

void TestTextMeasure::sameAsShapingEvery()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, suffix);
    for (const QFont &font : fonts())
        QCOMPARE(toolkit::widestTextWidth(texts, font, suffix), shapeEvery(texts, font, suffix));
}

void TestTextMeasure::ligatureAmongNarrowerTexts_data()
{
    QTest::addColumn<QString>("widest");
    QTest::newRow("ffi") << "ffi";
    QTest::newRow("office") << "office";
    QTest::newRow("fly fjord") << "fly fjord";
}

// A ligature's width differs from its letters' widths; with many texts just narrower than it,
// one of them is wider than the letters' sum, so any shortcut that trusts the sum fails.
void TestTextMeasure::ligatureAmongNarrowerTexts()
{
    QFETCH(QString, widest);
    const QString alphabet = QStringLiteral("filmnortjy.- ");
    QStringList pool{""};
    for (int length = 1; length <= 3; ++length) {
        const QStringList shorter = pool;
        for (const QString &text : shorter) {
            if (text.size() == length - 1) {
                for (QChar c : alphabet)
                    pool << text + c;
            }
        }
    }
    for (const QFont &font : fonts()) {
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance(widest);
        QStringList texts{widest};
        for (const QString &text : pool) {
            if (metrics.horizontalAdvance(text) < width)
                texts << text;
        }
        QCOMPARE(toolkit::widestTextWidth(texts, font, QString()), width);
    }
}

QTEST_MAIN(TestTextMeasure)
#include "test_textmeasure.moc"
