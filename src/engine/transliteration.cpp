#include "transliteration.h"

#include <memory>
#include <mutex>

#include <QHash>

#ifdef KAPPWERK_HAVE_ICU
#include <unicode/translit.h>
#include <unicode/unistr.h>
#endif

namespace {

// German writes umlauts out instead of dropping their dots, and the names are German first;
// typographic quotes become the one quote a file name may hold. Everything else is ICU's.
const char16_t OwnRules[] = u"ä > ae; ö > oe; ü > ue; Ä > Ae; Ö > Oe; Ü > Ue; ß > ss; ẞ > SS; "
                            u"[„“”«»‹›‚‘’′″] > \\'; "
                            u":: Any-Latin; :: Latin-ASCII;";

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
        // Without ICU (the Windows build) the German rule and the accents dropped, nothing more.
        QString out;
        for (const QChar c : run.normalized(QString::NormalizationForm_KD)) {
            switch (c.unicode()) {
            case u'ß': out += QLatin1String("ss"); continue;
            case u'–': case u'—': out += QLatin1Char('-'); continue;
            case u'„': case u'“': case u'”': case u'‚': case u'‘': case u'’': out += QLatin1Char('\''); continue;
            default: break;
            }
            if (c.category() != QChar::Mark_NonSpacing)
                out += c;
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

bool isAllowed(QChar c, const QString &allowed)
{
    return allowed.contains(c);
}

} // namespace

QString TransliterateSpecial(QStringView name, const QString &allowed)
{
    // Umlauts made of a letter and a combining mark (as some systems store names) are one
    // character first, so that the German rule sees them.
    QString text = name.toString();
    bool plain = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || !isAllowed(c, allowed)) {
            plain = false;
            break;
        }
    }
    if (plain)
        return text;
    text = text.normalized(QString::NormalizationForm_C);
    // Runs of characters outside the allowed set are spelled together, so that a word keeps its
    // context (a Greek final sigma, a Chinese word).
    QString result;
    result.reserve(text.size() + 8);
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && isAllowed(text.at(end), allowed))
            ++end;
        result.append(QStringView(text).sliced(at, end - at));
        at = end;
        while (end < text.size() && !isAllowed(text.at(end), allowed))
            ++end;
        if (end > at)
            result.append(speller().spell(text.sliced(at, end - at)));
        at = end;
    }
    return result;
}

QString CollapseBlanks(QString name)
{
    qsizetype out = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i) == u' ' && out > 0 && name.at(out - 1) == u' ')
            continue;
        name[out++] = name.at(i);
    }
    name.truncate(out);
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
