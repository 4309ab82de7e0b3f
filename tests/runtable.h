#pragma once

// What the engine's test programs share: the run's options and outcomes as their data tables
// write them, and the entry of a listed file.
#include "columns.h"
#include "engine/cutfiles.h"
#include "engine/journal.h"
#include "engine/undo.h"
#include "folderstate.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

Q_DECLARE_METATYPE(RenameOptions)

enum Mode { InPlace, IntoMobix, Beside };

// Cuts to length, or numbers by pattern when one is given.
inline RenameOptions options(Mode mode, int length, const QString &pattern = {}, bool special = false)
{
    return {.CutAfterLength = pattern.isEmpty(), .Rename = !pattern.isEmpty(), .MaxFileLength = length,
            .NewFilename = pattern, .Special = special, .Subdirectory = mode == IntoMobix,
            .Overwrite = mode == InPlace};
}

// The same with characters outside the allowed set spelled in ASCII.
inline RenameOptions spelled(RenameOptions options)
{
    options.Special = options.Transliterate = true;
    return options;
}

// Per ticked entry: r renamed, c copied, or why it was skipped: t name taken, n not allowed, l
// too long, u unchanged, g source gone, s no space, p no permission, m "MOBIX" unusable, x
// cancelled, e another error, j the journal could not record it, f not written out to the device,
// v nothing left before the extension.
inline char code(SkipReason reason) { return "-tnlugspmxejfv"[int(reason)]; }
inline QString outcomes(const RunReport &report)
{
    QString codes;
    for (const EntryResult &result : report.results)
        codes += result.outcome == Outcome::Renamed ? 'r' : result.outcome == Outcome::Copied ? 'c' : code(result.reason);
    return codes;
}

// The same, as the preview foresees it for the ticked entries.
inline QString foreseenOutcomes(const std::vector<PlannedEntry> &plan, const std::vector<BatchEntry> &entries,
                                const RenameOptions &options)
{
    QString codes;
    for (size_t i = 0; i < plan.size(); ++i) {
        if (entries[i].selected)
            codes += plan[i].problem != SkipReason::None ? code(plan[i].problem) : options.Overwrite ? 'r' : 'c';
    }
    return codes;
}

// A state folder of the test's own, where the runs keep their journals, for as long as it lives.
struct StateFolder : QTemporaryDir {
    StateFolder() { qputenv("XDG_STATE_HOME", QFile::encodeName(path())); }
};

inline BatchEntry entry(const QString &name, bool selected = true)
{
    return {name, QFileInfo(name).suffix(), encodeNativeName(name), selected};
}

// Writes each name's own bytes into folder (which ends with a separator) and lists it, ticked.
inline std::vector<BatchEntry> filesIn(const QString &folder, const QStringList &names)
{
    std::vector<BatchEntry> entries;
    for (const QString &name : names)
        if (writeOrigin(QFile::encodeName(folder + name), name))
            entries.push_back(entry(name));
    return entries;
}

// A run as the window and the command line make one: the folder's journal taken first and
// ended after. A journal that cannot be taken gives a run that did nothing.
inline RunReport journaledRun(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                              const QString &folder, RunObserver *next = nullptr)
{
    JournalObserver journal(folder, next);
    return journal.open() == 0 ? runBatch(entries, options, folder, &journal) : RunReport();
}
