#include "batchrun.h"

#include "engine/filescopy.h"
#include "engine/namerules.h"
#include "engine/platformfs.h"

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

void CutFiles(const std::vector<BatchEntry> &entries, const RenameOptions &options,
              const QString &folderPath, const ProgressFunction &progress)
{
    if (entries.empty())
        return;
    NextNumber = 1;
    if (progress)
        progress(0.0001f);

    // Without a folder every name would be taken relative to the working directory.
    const bool haveFolder = folderPath.endsWith(separator);
    const NativeName folder = encodeNativeName(folderPath);
    const NativeName mobix = encodeNativeName(folderPath + mobixName);
    const NativeName mobixPrefix = encodeNativeName(folderPath + mobixName + separator);

    const size_t count = entries.size();
    for (size_t i = 0; i < count; ++i) {
        const BatchEntry &entry = entries[i];
        if (entry.selected) {
            // The name is computed first, so a skipped entry still uses up its number.
            const QString name = newFileName(entry, options);
            if (haveFolder && isPlainFileName(name)) {
                // The source is the name read from the folder, never the shown text re-encoded.
                const NativeName source = folder + entry.nativeName;
                const NativeName target = encodeNativeName(name);
                if (options.Overwrite)
                    renameNoReplace(source, folder + target);
                else if (options.Subdirectory) {
                    // Refreshing copies in MOBIX replaces older ones there; beside the
                    // originals a copy never replaces the user's own files.
                    if (ensureFolder(mobix))
                        CopyFileTo(source, mobixPrefix + target, true);
                } else
                    CopyFileTo(source, folder + target, false);
            }
        }
        // The bar moves for unticked entries too.
        if (progress)
            progress(float(double(i + 1) / double(count) * 100.0));
    }
}
