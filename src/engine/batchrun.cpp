#include "batchrun.h"

#include "engine/namerules.h"

bool AnySelected(const std::vector<BatchEntry> &entries)
{
    for (const BatchEntry &entry : entries) {
        if (entry.selected)
            return true;
    }
    return false;
}

namespace {

// The numbering pattern with the characters that are not allowed removed. Every entry of a run
// uses the same pattern, so the last result is kept instead of being worked out per entry.
QString cleanedPattern(const RenameOptions &options)
{
    thread_local QString pattern;
    thread_local QString allowed;
    thread_local QString cleaned = RemoveSpecial(pattern, allowed);
    if (options.NewFilename != pattern || options.SpecialListe != allowed) {
        pattern = options.NewFilename;
        allowed = options.SpecialListe;
        cleaned = RemoveSpecial(pattern, allowed);
    }
    return cleaned;
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
            base = RemoveSpecial(hasDot ? QStringView(entry.text).first(dot) : QStringView(entry.text),
                                 options.SpecialListe);
        else
            base = hasDot ? StripExtension(entry.text) : entry.text;
        base = CutFilename(std::move(base), options.MaxFileLength);
        named = true;
    }
    if (options.Rename) {
        base = NumberFilename(options.Special ? cleanedPattern(options) : options.NewFilename, NextNumber);
        named = true;
    }
    if (!named)
        return QString();
    if (hasDot) {
        base.reserve(base.size() + 1 + entry.extension.size());
        base.append(QLatin1Char('.')).append(entry.extension);
    }
    return base;
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
    return base.size() == 4 && base[3] >= QLatin1Char('1') && base[3] <= QLatin1Char('9')
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
        if (c.unicode() < 32 || QStringView(u"<>:\"/\\|?*").contains(c))
            return false;
    }
    return true;
}
