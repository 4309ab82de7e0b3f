#include "batchrun.h"

#include "engine/filescopy.h"
#include "engine/namerules.h"
#include "engine/platformfs.h"
#include "engine/run.h"

namespace {

const QString mobixName = QStringLiteral("MOBIX");

#ifdef Q_OS_WIN
const QString separator = QStringLiteral("\\");
#else
const QString separator = QStringLiteral("/");
#endif

} // namespace

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
        base = hasDot ? StripExtension(entry.text) : entry.text;
        if (options.Special)
            base = RemoveSpecial(base, options.SpecialListe);
        base = CutFilename(base, options.MaxFileLength);
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
    return hasDot ? base + QLatin1Char('.') + entry.extension : base;
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
        if (m_progress && state.bytesTotal == 0)
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

RunReport RunBatch(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                   const QString &folderPath, RunObserver *observer)
{
    RunReport report;
    if (entries.empty())
        return report;
    NextNumber = 1;
    RunProgress state;
    state.entryCount = entries.size();
    if (observer)
        observer->progress(state);

    // Without a folder every name would be taken relative to the working directory.
    const bool haveFolder = folderPath.endsWith(separator);
    const NativeName folder = encodeNativeName(folderPath);
    const NativeName mobix = encodeNativeName(folderPath + mobixName);
    const NativeName mobixPrefix = encodeNativeName(folderPath + mobixName + separator);

    const size_t count = entries.size();
    for (size_t i = 0; i < count; ++i) {
        const BatchEntry &entry = entries[i];
        if (entry.selected) {
            EntryResult result;
            result.index = i;
            // The name is computed first, so a skipped entry still uses up its number.
            result.newName = newFileName(entry, options);
            bool ok = false;
            if (haveFolder && isPlainFileName(result.newName)) {
                // The source is the name read from the folder, never the shown text re-encoded.
                const NativeName source = folder + entry.nativeName;
                const NativeName target = encodeNativeName(result.newName);
                if (options.Overwrite)
                    ok = renameNoReplace(source, folder + target);
                else if (options.Subdirectory) {
                    // Refreshing copies in MOBIX replaces older ones there; beside the
                    // originals a copy never replaces the user's own files.
                    if (ensureFolder(mobix))
                        ok = CopyFileTo(source, mobixPrefix + target, true);
                } else
                    ok = CopyFileTo(source, folder + target, false);
                if (ok)
                    result.outcome = options.Overwrite ? Outcome::Renamed : Outcome::Copied;
                else
                    result.reason = SkipReason::OtherError;
            } else
                result.reason = SkipReason::NameNotAllowed;
            report.results.push_back(result);
        }
        // The bar moves for unticked entries too.
        state.entriesDone = i + 1;
        if (observer)
            observer->progress(state);
    }
    return report;
}
