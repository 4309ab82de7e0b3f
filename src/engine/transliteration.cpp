#include "transliteration.h"

#include "engine/namerules.h"
#include "engine/perthread.h"

#include <memory>
#include <mutex>
#include <vector>

#include <QHash>

#ifdef KAPPWERK_HAVE_ICU
#include <unicode/translit.h>
#include <unicode/unistr.h>
#endif

namespace {

// German writes umlauts out instead of dropping their dots, and the names are German first;
// typographic quotes become the one quote a file name may hold. Everything else is ICU's, but
// for the digits written small (H₂O, m³), which ICU leaves and the removal would then drop,
// and for the slash of its fractions (½ is "1/2"), which no file name may hold: "1-2", not "12".
const char16_t OwnRules[] = u"ä > ae; ö > oe; ü > ue; Ä > Ae; Ö > Oe; Ü > Ue; ß > ss; ẞ > SS; "
                            u"[„“”«»‹›‚‘’′″] > \\'; "
                            u":: Any-Latin; :: Latin-ASCII; :: [¹²³⁰-⁹₀-₉] NFKC; \\/ > \\-;";

// Spellings of the runs of characters outside the allowed set, as they come again and again in
// one folder (the same umlaut, the same artist); the transliterator itself is costly to make
// and to call, and not safe to call from two threads at once.
class Speller
{
public:
    QString spell(const QString &run)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto known = m_spellings.constFind(run);
        if (known != m_spellings.constEnd())
            return *known;
        if (m_spellings.size() > 20000)
            m_spellings.clear();
        const QString spelled = spellNow(run);
        m_spellings.insert(run, spelled);
        return spelled;
    }

private:
    QString spellNow(const QString &run)
    {
#ifdef KAPPWERK_HAVE_ICU
        if (!m_made) {
            m_made = true;
            UParseError where;
            UErrorCode status = U_ZERO_ERROR;
            m_icu.reset(icu::Transliterator::createFromRules(u"Kappwerk-ASCII", icu::UnicodeString(OwnRules),
                                                             UTRANS_FORWARD, where, status));
            if (U_FAILURE(status))
                m_icu.reset();
        }
        if (m_icu) {
            icu::UnicodeString text(reinterpret_cast<const UChar *>(run.utf16()), int32_t(run.size()));
            m_icu->transliterate(text);
            return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
        }
#endif
        // Without ICU (the Windows build) the German rule, dashes and quotes, and the accents
        // dropped, nothing more.
        QString out;
        for (const QChar c : run) {
            switch (c.unicode()) {
            case u'ä': out += QLatin1String("ae"); continue;
            case u'ö': out += QLatin1String("oe"); continue;
            case u'ü': out += QLatin1String("ue"); continue;
            case u'Ä': out += QLatin1String("Ae"); continue;
            case u'Ö': out += QLatin1String("Oe"); continue;
            case u'Ü': out += QLatin1String("Ue"); continue;
            case u'ß': out += QLatin1String("ss"); continue;
            case u'–': case u'—': out += QLatin1Char('-'); continue;
            case u'„': case u'“': case u'”': case u'‚': case u'‘': case u'’': out += QLatin1Char('\''); continue;
            default: break;
            }
            for (const QChar part : QString(c).normalized(QString::NormalizationForm_KD)) {
                if (part == u'\u2044') // the fraction slash of ½
                    out += QLatin1Char('-');
                else if (part.category() != QChar::Mark_NonSpacing)
                    out += part;
            }
        }
        return out;
    }

    std::mutex m_mutex;
    QHash<QString, QString> m_spellings;
#ifdef KAPPWERK_HAVE_ICU
    bool m_made = false;
    std::unique_ptr<icu::Transliterator> m_icu;
#endif
};

Speller &speller()
{
    static Speller instance;
    return instance;
}

// The spelling of a run, from this thread's own cache before the shared one, whose lock a
// preview of tens of thousands of names would otherwise take for every umlaut. Single
// characters, the usual run, are kept apart: looking them up needs no string made.
const QString &spell(QStringView run)
{
    // Latin, Greek and Cyrillic letters by their code, everything else by its text.
    struct Single {
        QString spelled;
        bool known = false;
    };
    struct Spellings {
        std::vector<Single> single = std::vector<Single>(0x800);
        QHash<QString, QString> longer;
    };
    Spellings &cache = perThread<Spellings>();
    std::vector<Single> &single = cache.single;
    QHash<QString, QString> &longer = cache.longer;
    if (longer.size() > 20000)
        longer.clear();
    if (run.size() == 1 && run.front().unicode() < single.size()) {
        Single &at = single[run.front().unicode()];
        if (!at.known) {
            at.spelled = speller().spell(run.toString());
            at.known = true;
        }
        return at.spelled;
    }
    const QString key = run.toString();
    const auto found = longer.constFind(key);
    if (found != longer.constEnd())
        return *found;
    return *longer.insert(key, speller().spell(key));
}

// Up to here the scripts are Latin, whose letters ICU spells one by one alike.
constexpr char16_t latinEnd = 0x370;

} // namespace

QString SpellSpecial(QStringView name, const QString &allowed)
{
    const AllowedTable &table = allowedTable(allowed);
    bool marks = false;
    for (const QChar c : name) {
        // Umlauts made of a letter and a combining mark (as some systems store names) are made
        // one character first, so that the German rule sees them.
        if (c.unicode() >= 0x300 && c.unicode() < 0x370)
            marks = true;
    }
    const QString composed = marks ? name.toString().normalized(QString::NormalizationForm_C) : QString();
    const QStringView text = marks ? QStringView(composed) : name;
    // Of the spelling only allowed characters stay.
    QString result(text.size() * 2 + 8, Qt::Uninitialized);
    QChar *out = result.data();
    qsizetype at = 0;
    while (at < text.size()) {
        const QChar c = text.at(at);
        if (table.contains(c)) {
            *out++ = c;
            ++at;
            continue;
        }
        // Latin letters are spelled one by one; other scripts by the run, so that a word keeps
        // its context (a Greek final sigma, a Chinese word).
        qsizetype end = at + 1;
        if (c.unicode() >= latinEnd) {
            while (end < text.size() && text.at(end).unicode() >= latinEnd && !table.contains(text.at(end)))
                ++end;
        }
        const QString &spelled = spell(text.sliced(at, end - at));
        const qsizetype used = out - result.constData();
        if (used + spelled.size() + (text.size() - end) > result.size()) {
            result.resize(used + spelled.size() + 2 * (text.size() - end) + 8);
            out = result.data() + used;
        }
        for (const QChar s : spelled) {
            if (table.contains(s))
                *out++ = s;
        }
        at = end;
    }
    result.truncate(out - result.constData());
    return result;
}

QString CollapseBlanks(QString name)
{
    const QChar *const data = name.constData();
    qsizetype first = 1;
    while (first < name.size() && !(data[first] == u' ' && data[first - 1] == u' '))
        ++first;
    if (first >= name.size())
        return name;
    QChar *const begin = name.data();
    QChar *out = begin;
    for (const QChar *in = begin, *end = begin + name.size(); in != end; ++in) {
        if (*in == u' ' && out != begin && out[-1] == u' ')
            continue;
        *out++ = *in;
    }
    name.truncate(out - begin);
    return name;
}

QString TrimDangling(QString name)
{
    qsizetype end = name.size();
    while (end > 0 && (name.at(end - 1) == u' ' || name.at(end - 1) == u'.' || name.at(end - 1) == u'-'))
        --end;
    name.truncate(end);
    return name;
}

QString TrimLeading(QString name, bool keepDots)
{
    qsizetype start = 0;
    while (start < name.size() && (name.at(start) == u' ' || (!keepDots && name.at(start) == u'.')))
        ++start;
    name.remove(0, start);
    return name;
}
