#include "batchrun.h"

#include "engine/namerules.h"
#include "engine/run.h"

bool AnySelected(const std::vector<BatchEntry> &entries)
{
    for (const BatchEntry &entry : entries) {
        if (entry.selected)
            return true;
    }
    return false;
}

QString newFileName(const BatchEntry &entry, const RenameOptions &options)
{
    // A listed name without "." is its own base name and gets no "." appended.
    const bool hasDot = entry.text.contains(QLatin1Char('.'));
    QString base;
    bool named = false;
    if (options.CutAfterLength) {
        // With removal the name is read in place, without a copy of its stem first.
        if (options.Special)
            base = RemoveSpecial(hasDot ? QStringView(entry.text).first(entry.text.lastIndexOf(QLatin1Char('.')))
                                        : QStringView(entry.text),
                                 options.SpecialListe);
        else
            base = hasDot ? StripExtension(entry.text) : entry.text;
        base = CutFilename(std::move(base), options.MaxFileLength);
        named = true;
    }
    if (options.Rename) {
        base = options.Special ? RemoveSpecial(options.NewFilename, options.SpecialListe)
                               : options.NewFilename;
        base = NumberFilename(base);
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
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return false;
#ifdef Q_OS_WIN
    if (name.contains(QLatin1Char('\\')))
        return false;
#endif
    return true;
}

namespace {
// Hands the bar values of a run to the old-style progress function.
class ProgressAdapter : public RunObserver
{
public:
    explicit ProgressAdapter(const ProgressFunction &progress) : m_progress(progress) {}
    void progress(const RunProgress &state) override
    {
        if (m_progress && state.bytesTotal == 0 && !state.flushing)
            m_progress(state.barValue());
    }

private:
    const ProgressFunction &m_progress;
};
} // namespace

void CutFiles(const std::vector<BatchEntry> &entries, const RenameOptions &options,
              const QString &folderPath, const ProgressFunction &progress)
{
    ProgressAdapter adapter(progress);
    RunBatch(entries, options, folderPath, &adapter);
}
