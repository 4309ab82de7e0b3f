#include "batchrun.h"

#include "engine/namerules.h"
#include "engine/perthread.h"
#include "engine/transliteration.h"

bool AnySelected(const std::vector<BatchEntry> &entries)
{
    for (const BatchEntry &entry : entries) {
        if (entry.selected)
            return true;
    }
    return false;
}

namespace {

bool transliterates(const RenameOptions &options)
{
    return options.Special && options.Transliterate;
}

// A piece of a name with the characters that are not allowed removed, spelled in ASCII first
// when the options say so.
QString cleaned(QStringView text, const RenameOptions &options)
{
    if (!transliterates(options))
        return RemoveSpecial(text, options.SpecialListe);
    return CollapseBlanks(SpellSpecial(text, options.SpecialListe));
}

// The numbering pattern split at its placeholder, the text around it cleaned; the placeholder
// itself is never removed. Every entry of a run uses the same pattern, so the last result is
// kept instead of being worked out per entry.
const NumberPattern &cleanedPattern(const RenameOptions &options)
{
    struct Cleaned {
        bool made = false;
        RenameOptions last;
        NumberPattern parts;
    };
    Cleaned &cache = perThread<Cleaned>();
    bool &made = cache.made;
    RenameOptions &last = cache.last;
    NumberPattern &parts = cache.parts;
    if (!made || options.NewFilename != last.NewFilename || options.SpecialListe != last.SpecialListe
        || options.Special != last.Special || options.Transliterate != last.Transliterate) {
        made = true;
        last = options;
        parts = SplitPattern(options.NewFilename);
        if (options.Special) {
            parts.before = cleaned(parts.before, options);
            parts.after = cleaned(parts.after, options);
        }
    }
    return parts;
}

} // namespace

QString newFileName(const BatchEntry &entry, const RenameOptions &options, qint32 &NextNumber)
{
    // A listed name without "." is its own base name and gets no "." appended.
    const qsizetype dot = entry.text.lastIndexOf(QLatin1Char('.'));
    const bool hasDot = dot >= 0;
    QString base;
    bool named = false;
    if (options.CutAfterLength) {
        // With removal the stem is read in place, without a copy of it first.
        if (options.Special)
            base = cleaned(hasDot ? QStringView(entry.text).first(dot) : QStringView(entry.text), options);
        else
            base = hasDot ? StripExtension(entry.text) : entry.text;
        // The length counts the characters after the spelling out, and not a blank or dot
        // that the tidying drops from the start.
        if (transliterates(options))
            base = TrimLeading(std::move(base), entry.text.startsWith(QLatin1Char('.')));
        base = CutFilename(std::move(base), options.MaxFileLength);
        named = true;
    }
    if (options.Rename) {
        base = NumberFilename(cleanedPattern(options), NextNumber);
        if (transliterates(options))
            base = TrimLeading(CollapseBlanks(std::move(base)), false);
        named = true;
    }
    if (!named)
        return QString();
    if (transliterates(options))
        base = TrimDangling(std::move(base));
    if (hasDot) {
        base.reserve(base.size() + 1 + entry.extension.size());
        base.append(QLatin1Char('.')).append(entry.extension);
    }
    return base;
}

QString distinctFileName(const BatchEntry &entry, const QString &name, int number, qint32 maxLength)
{
    const qsizetype extension = entry.text.contains(QLatin1Char('.')) ? entry.extension.size() + 1 : 0;
    const QString digits = QString::number(number);
    // A length too short for the blank takes the number alone; one too short for that, nothing.
    qint32 room = maxLength - qint32(digits.size()) - 1;
    if (room < 0 && ++room < 0)
        return QString();
    QStringView base = QStringView(name).first(name.size() - extension);
    if (base.size() > room) {
        base = base.first(room);
        // A cut never splits a character outside the basic plane.
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    while (base.endsWith(u' '))
        base.chop(1);
    QString result;
    result.reserve(base.size() + 1 + digits.size() + extension);
    result.append(base);
    if (!base.isEmpty())
        result.append(QLatin1Char(' '));
    return result.append(digits).append(QStringView(name).last(extension));
}

namespace {

// Names Windows keeps for devices, with or without an extension ("con.mp3" too).
bool isDeviceName(QStringView name)
{
    QStringView base = name.left(name.indexOf(QLatin1Char('.')));
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    if (base.size() == 3)
        return base.compare(QLatin1String("CON"), Qt::CaseInsensitive) == 0
            || base.compare(QLatin1String("PRN"), Qt::CaseInsensitive) == 0
            || base.compare(QLatin1String("AUX"), Qt::CaseInsensitive) == 0
            || base.compare(QLatin1String("NUL"), Qt::CaseInsensitive) == 0;
    // The digits written raised (¹ ² ³) name the same ports.
    const char16_t digit = base.size() == 4 ? base[3].unicode() : 0;
    return ((digit >= u'1' && digit <= u'9') || digit == u'¹' || digit == u'²' || digit == u'³')
        && (base.first(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0
            || base.first(3).compare(QLatin1String("LPT"), Qt::CaseInsensitive) == 0);
}

} // namespace

bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    // The cards go into Windows machines too, so a name Windows would refuse or change is not
    // given on any system: a trailing dot or blank (Windows drops it), a device name, a control
    // character or one of < > : " / \ | ? *. A NUL would also end the name early in the system
    // call, and "/" would make it a path.
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')) || isDeviceName(name))
        return false;
    for (const QChar c : name) {
        switch (c.unicode()) {
        case u'<': case u'>': case u':': case u'"': case u'/': case u'\\': case u'|': case u'?': case u'*':
            return false;
        default:
            if (c.unicode() < 32)
                return false;
        }
    }
    return true;
}
