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

bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    // A NUL would end the name early in the system call, so it would name another file.
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c.isNull())
            return false;
#ifdef Q_OS_WIN
        if (c == QLatin1Char('\\'))
            return false;
#endif
    }
    return true;
}
