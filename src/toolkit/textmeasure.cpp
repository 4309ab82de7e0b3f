#include "textmeasure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>

namespace toolkit {
namespace {

// Shaping a text (itemizing, choosing fonts, running the shaper) costs microseconds per name.
// For the simple scripts a shaped width is the sum of the characters' advances plus a kerning
// term per neighbouring pair, each measured once and cached. Widths are whole 1/64 pixels, so
// these sums are exact, and a text needs shaping only when its sum says it can beat the widest
// found so far. Texts the sums cannot describe (marks, controls, surrogate pairs, scripts that
// shape in context, letters the font joins into a ligature) are always shaped.
class PairModel
{
public:
    explicit PairModel(const QFont &font);

    // The width the shaper gives the text followed by the suffix set with setSuffix, or none
    // when the text is outside the model.
    std::optional<qint64> estimate(QStringView text);
    bool setSuffix(const QString &suffix);
    qint64 exactWidth(const QString &text) const { return units(m_metrics.horizontalAdvance(text)); }
    // Whether the model matches the font's shaping on texts that trip fonts with ligatures,
    // contextual forms or kerning that depends on the script of the run.
    bool holdsForFont();

private:
    static constexpr qint32 unknown = std::numeric_limits<qint32>::min();
    static constexpr qint32 ligature = unknown + 1;
    static qint32 units(qreal width) { return qint32(std::lround(width * 64)); }

    qint32 slowAdvance(char16_t c);
    qint32 slowKerning(char16_t a, char16_t b);
    qint32 measureKerning(char16_t a, char16_t b);
    bool joinsIntoLigature(char16_t a, char16_t b) const;

    QFont m_font;
    QFontMetricsF m_metrics;
    bool m_checkLigatures = false;
    QString m_suffix;
    qint64 m_suffixWidth = 0;
    std::array<qint32, 128> m_asciiAdvance;
    std::vector<qint32> m_asciiKerning;
    QHash<char16_t, qint32> m_otherAdvance;
    QHash<quint32, qint32> m_otherKerning;
};

bool isSimpleChar(char16_t c)
{
    if (c >= 0x20 && c < 0x7f)
        return true;
    if (c < 0xa0 || QChar::isSurrogate(c))
        return false;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
        return false;
    default:
        break;
    }
    const QChar::Script script = QChar::script(c);
    return script == QChar::Script_Common || script == QChar::Script_Latin || script == QChar::Script_Greek
        || script == QChar::Script_Cyrillic;
}

PairModel::PairModel(const QFont &font)
    : m_font(font), m_metrics(font), m_asciiKerning(size_t(128) * 128, unknown)
{
    m_asciiAdvance.fill(unknown);
}

bool PairModel::joinsIntoLigature(char16_t a, char16_t b) const
{
    const QChar pair[2] = {QChar(a), QChar(b)};
    QTextLayout layout(QString(pair, 2), m_font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    qsizetype glyphs = 0;
    for (const QGlyphRun &run : layout.glyphRuns())
        glyphs += run.glyphIndexes().size();
    return glyphs < 2;
}

qint32 PairModel::slowAdvance(char16_t c)
{
    const qint32 width = units(m_metrics.horizontalAdvance(QString(QChar(c))));
    if (c < 128)
        m_asciiAdvance[c] = width;
    else
        m_otherAdvance.insert(c, width);
    return width;
}

qint32 PairModel::measureKerning(char16_t a, char16_t b)
{
    if (m_checkLigatures && QChar::isLetter(a) && QChar::isLetter(b) && joinsIntoLigature(a, b))
        return ligature;
    const QChar pair[2] = {QChar(a), QChar(b)};
    const auto advance = [this](char16_t c) {
        if (c < 128 && m_asciiAdvance[c] != unknown)
            return m_asciiAdvance[c];
        const auto it = m_otherAdvance.constFind(c);
        return it != m_otherAdvance.constEnd() ? *it : slowAdvance(c);
    };
    return units(m_metrics.horizontalAdvance(QString(pair, 2))) - advance(a) - advance(b);
}

qint32 PairModel::slowKerning(char16_t a, char16_t b)
{
    if (a < 128 && b < 128) {
        qint32 &kerning = m_asciiKerning[size_t(a) * 128 + b];
        if (kerning == unknown)
            kerning = measureKerning(a, b);
        return kerning;
    }
    const quint32 key = (quint32(a) << 16) | b;
    auto it = m_otherKerning.find(key);
    if (it == m_otherKerning.end())
        it = m_otherKerning.insert(key, measureKerning(a, b));
    return *it;
}

std::optional<qint64> PairModel::estimate(QStringView text)
{
    // Two sums, so that neither waits on the other.
    qint64 advances = m_suffixWidth;
    qint64 kernings = 0;
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        qint32 advance;
        if (c < 128) {
            if (c < 0x20 || c == 0x7f)
                return std::nullopt;
            advance = m_asciiAdvance[c];
        } else {
            if (!isSimpleChar(c))
                return std::nullopt;
            advance = m_otherAdvance.value(c, unknown);
        }
        advances += advance != unknown ? advance : slowAdvance(c);
    }
    // The suffix's first character closes the chain, so its pair with the text counts.
    const qsizetype pairs = m_suffix.isEmpty() ? length - 1 : length;
    for (qsizetype i = 0; i < pairs; ++i) {
        const char16_t a = text[i].unicode();
        const char16_t b = i + 1 < length ? text[i + 1].unicode() : m_suffix.front().unicode();
        qint32 kerning = (a < 128 && b < 128) ? m_asciiKerning[size_t(a) * 128 + b] : unknown;
        if (kerning == unknown)
            kerning = slowKerning(a, b);
        if (kerning == ligature)
            return std::nullopt;
        kernings += kerning;
    }
    return advances + kernings;
}

bool PairModel::setSuffix(const QString &suffix)
{
    if (!std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return isSimpleChar(c.unicode()); }))
        return false;
    m_suffix.clear();
    m_suffixWidth = 0;
    const std::optional<qint64> width = estimate(suffix);
    if (!width)
        return false;
    m_suffix = suffix;
    m_suffixWidth = *width;
    return true;
}

bool PairModel::holdsForFont()
{
    static const QStringList probes = {
        QStringLiteral("office affluent fjord ffi ffl fi fl ff st ct Th"),
        QStringLiteral("AVATAR To Ty Wa Yo LT 11 - 1.mp3"),
        QStringLiteral("\"Titel\" (2024) [Live] 1/2 10:30 n\u00b0 \u2013 \u2026"),
        QStringLiteral("\u00c4rger \u00fcber \u00d6l, \u00df \u00e9t\u00e9 \u0160koda"),
        QStringLiteral(
            "\u0391\u03b8\u03ae\u03bd\u03b1 \u041c\u043e\u0441\u043a\u0432\u0430 \u0434\u0435\u043d\u044c"),
    };
    const QString suffix = m_suffix;
    const qint64 suffixWidth = m_suffixWidth;
    m_suffix.clear();
    m_suffixWidth = 0;
    bool holds = true;
    for (int attempt = 0; attempt < 2 && holds; ++attempt) {
        for (const QString &probe : probes) {
            const std::optional<qint64> width = estimate(probe);
            if (width && *width != exactWidth(probe)) {
                if (m_checkLigatures) {
                    holds = false;
                    break;
                }
                // Most likely the font joins letters; pairs measured so far may hide one.
                m_checkLigatures = true;
                m_asciiKerning.assign(m_asciiKerning.size(), unknown);
                m_otherKerning.clear();
                break;
            }
        }
        if (!m_checkLigatures)
            break;
    }
    m_suffix = suffix;
    m_suffixWidth = suffixWidth;
    return holds;
}

// QFontMetrics rounds the fixed-point width half up.
int roundedWidth(qint64 units)
{
    return int((units + 32) >> 6);
}

int measureAll(const QStringList &texts, const QFontMetrics &metrics, const QString &suffix)
{
    int widest = std::numeric_limits<int>::min();
    for (const QString &text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text + suffix));
    return widest;
}

// The same font with data of its own: copies of a QFont share the engines they load, and the
// measuring may run on a worker thread while the window paints with the original. A setting
// changed and changed back detaches the copy (setting a value it already has would not).
QFont unsharedCopy(const QFont &font)
{
    QFont copy(font);
    copy.setKerning(!font.kerning());
    copy.setKerning(font.kerning());
    return copy;
}

} // namespace

struct WidestText::Measure {
    Measure(const QFont &givenFont, const QString &suffix)
        : font(unsharedCopy(givenFont)), metrics(font), model(font), suffix(suffix)
    {
        modelHolds = model.holdsForFont() && model.setSuffix(suffix);
    }
    const QFont font;
    const QFontMetrics metrics;
    PairModel model;
    const QString suffix;
    bool modelHolds = false;
};

WidestText::WidestText(const QFont &font, const QString &suffix)
    : m(std::make_unique<Measure>(font, suffix))
{
}

WidestText::~WidestText() = default;

int widestTextWidth(const QStringList &texts, const QFont &font, const QString &suffix)
{
    return texts.isEmpty() ? 0 : WidestText(font, suffix).widest(texts);
}

int WidestText::widest(const QStringList &texts)
{
    if (texts.isEmpty())
        return 0;
    const QFontMetrics &metrics = m->metrics;
    const QString &suffix = m->suffix;
    PairModel &model = m->model;
    if (!m->modelHolds)
        return measureAll(texts, metrics, suffix);

    struct Candidate
    {
        qint64 estimate;
        qsizetype index;
    };
    std::vector<Candidate> candidates;
    candidates.reserve(size_t(texts.size()));
    int widest = std::numeric_limits<int>::min();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (const std::optional<qint64> estimate = model.estimate(texts.at(i)))
            candidates.push_back({*estimate, i});
        else
            widest = std::max(widest, metrics.horizontalAdvance(texts.at(i) + suffix));
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate &a, const Candidate &b) { return a.estimate > b.estimate; });

    for (size_t i = 0; i < candidates.size(); ++i) {
        // Sorted by estimate, so once one cannot win, none of the rest can.
        if (roundedWidth(candidates[i].estimate) <= widest)
            break;
        const QString text = texts.at(candidates[i].index) + suffix;
        if (model.exactWidth(text) != candidates[i].estimate) {
            // The font shapes this text in a way the model misses: trust no estimate.
            for (size_t j = i; j < candidates.size(); ++j)
                widest = std::max(widest, metrics.horizontalAdvance(texts.at(candidates[j].index) + suffix));
            break;
        }
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    return widest;
}

} // namespace toolkit
