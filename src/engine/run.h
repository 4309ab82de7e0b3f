#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "engine/batchrun.h"
#include "engine/nameindex.h"
#include "engine/platformfs.h"

// The one interface to a batch run, for the window and the command line alike. It knows no
// threads: a caller that wants the run off its own thread runs runBatch on a worker thread and
// passes an observer whose methods may be called from that thread.

// Why a ticked entry was not done.
enum class SkipReason {
    None,
    NameTaken,      // a file of that name exists, or this run already gave the name to another entry
    NameNotAllowed, // empty, ".", "..", or a path
    NameTooLong,    // longer than the target file system allows
    Unchanged,      // a rename to the name the file already has
    SourceGone,     // the listed file is gone or is no longer a regular file
    NoSpace,
    NoPermission,
    MobixUnusable,  // "MOBIX" is a file, a link or cannot be made
    Cancelled,
    OtherError,     // see EntryResult::error
    NotRecorded,    // the journal could not record the step, so the run stopped before it
    NotOnDevice,    // the copies could not be written out to the device at the end
    NameEmpty,      // nothing is left before the extension: the new name would be a hidden file
};
// The reason a failed file call (its errno value) gives for skipping an entry.
SkipReason skipReasonFor(int error);

enum class Outcome { Renamed, Copied, Skipped };

// What happened to one ticked entry.
struct EntryResult {
    size_t index = 0;           // the entry's index in the list given to the run
    QString newName;            // the name it got or would have got
    Outcome outcome = Outcome::Skipped;
    SkipReason reason = SkipReason::None;
    int error = 0;              // the system's error number behind the reason, when there was one
    bool replacedOlder = false; // a copy into "MOBIX" that replaced an older file of that name
};

// Where a run stands. The bar value follows entries (ticked or not) and, inside one file, the
// bytes copied of it.
struct RunProgress {
    size_t entriesDone = 0;
    size_t entryCount = 0;
    qint64 bytesDone = 0;  // of the file being copied now
    qint64 bytesTotal = 0;
    bool flushing = false; // the copies are being written out to the device

    // 0.0001 at the start, i / n x 100 after entry i, in between while a file is copied, just
    // below 100 while flushing and 100 when everything is on the device.
    float barValue() const;
};

// One file operation about to be published, for the run's journal: written before the
// operation, so that a run killed midway can still be taken back.
struct JournalStep {
    enum Kind { Rename, Copy } kind = Rename;
    bool intoMobix = false;     // the target folder is "MOBIX" inside the listed folder
    NativeName oldName;         // the listed file's name in the listed folder
    NativeName newName;         // the name in the target folder
    FileIdentity identity;      // the renamed file, or the finished copy
    qint64 size = 0;            // the file's size and modification time (renames: where known)
    qint64 modifyTime[2] = {0, 0};
    bool replacesOlder = false; // a copy that replaces an older file of that name in "MOBIX"
    qint64 birthTime[2] = {0, 0}; // copies: when the copy was made, where the file system keeps it
    // For copies: the original as it was copied; the copy is only ever removed while the
    // original is still there like that.
    struct Source {
        FileIdentity identity;
        qint64 size = 0;
        qint64 modifyTime[2] = {0, 0};
    } source;
    bool sourceKnown = true;    // false for steps of journals that did not record the original
    quint64 fingerprint = 0;    // of the file's first and last bytes, where identities do not last
};

class RunObserver
{
public:
    virtual ~RunObserver() = default;
    // Called at the start, after every entry and between the chunks of a large copy.
    virtual void progress(const RunProgress &) {}
    // Polled between entries and between chunks; true stops the run there.
    virtual bool cancelRequested() { return false; }
    // Called just before a rename or the publishing of a copy; published() follows with the
    // outcome. false stops the run before that step (its journal cannot record it).
    virtual bool aboutToPublish(const JournalStep &) { return true; }
    virtual void published(const JournalStep &, bool) {}
    // Called before a temporary file gets a hidden name in the listed folder or its "MOBIX";
    // false: the journal cannot record it, and the run stops there.
    virtual bool aboutToMakeTemporary(bool intoMobix, const NativeName &name)
    {
        Q_UNUSED(intoMobix);
        Q_UNUSED(name);
        return true;
    }
    // The final flush failed: the copies of the run may not be on the device.
    virtual void copiesUnconfirmed() {}
};

struct RunReport {
    std::vector<EntryResult> results; // one per ticked entry, in list order
    bool cancelled = false;
    bool folderUnusable = false;      // the listed folder could not be opened at all

    int countDone() const;
    int countSkipped() const;
};

// Renames or copies every ticked entry under its new name with every protection, and reports
// per ticked entry what happened. folderPath is the listed folder with its trailing separator.
// Numbers from 1, as every run does.
RunReport runBatch(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                   const QString &folderPath, RunObserver *observer);

// The new names the run would give, one per entry ("" for an entry that is not ticked), with
// the run's own rules and numbering from 1 for the ticked entries in list order. Copying, a
// name that an earlier ticked entry gets is made distinct (distinctFileName), so that no copy
// is lost; wantedFirst, when given, then holds per entry the earlier entry that keeps the name
// (size_t(-1) for the others). ignoreCase: names differing in case alone are one name, as on
// the file systems that ignore case.
std::vector<QString> planNames(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                               std::vector<size_t> *wantedFirst = nullptr, bool ignoreCase = false);

// What a run would do with one entry, worked out without changing anything: the preview, the
// list's marks and the command line's dry run use it, and it follows the run's own rules.
struct PlannedEntry {
    QString newName;                       // "" for an entry that is not ticked
    SkipReason problem = SkipReason::None; // why the run would skip it
    size_t clashWith = size_t(-1);         // for a name another ticked entry gets first: its index
    bool unchanged = false;                // the new name is the old one
    size_t doubledWith = size_t(-1);       // copying: the entry that keeps the name this one was made distinct from
};

// The names in a run's target folder (the listed folder, or its "MOBIX"), as a preview checks
// the new names against them, with what identified the folder when they were read.
struct PreviewNames {
    QString folderPath;            // the listed folder, as given
    bool intoMobix = false;        // the target is its "MOBIX"
    NativeName path;
    FileFacts facts;               // the target's identity and modification time
    bool settled = false;          // that time lay well before the names were read
    NameSet<NativeName> names;     // renaming or copying beside: the names found there
    NameSet<QString> shownNames;   // those of them that decode without loss, as shown
    // Into "MOBIX" where case is ignored: its names as they are and folded. An older copy there
    // is refreshed under its very name only; one differing in case keeps the name taken.
    NameSet<QString> mobixNames, mobixFolded;
    NameSet<QString> mobixOthers;  // names in "MOBIX" that are no older copy: folders, links, pipes
    qint64 nameMax = 255;
    bool ignoresCase = false;      // its file system ignores case: the sets hold folded names
    int error = 0;                 // the listed folder cannot be opened
    int mobixError = 0;            // "MOBIX" is there but no real folder
    int writeError = 0;            // the target (or the folder, while "MOBIX" is missing) cannot be written
};
using PreviewNamesPtr = std::shared_ptr<const PreviewNames>;

// Looks at the target folder and gives known back while it is still the folder known was read
// from and unchanged (same identity, size and modification time, which lay seconds before that
// read, so that no later change can have kept it); else reads its names afresh.
// This touches the folder, which on a memory card, a phone or a share can take long: the window
// calls it on a worker. Beside the originals and in place the names are read; in "MOBIX" those
// that are no older copy, and all of them where case is ignored.
PreviewNamesPtr readPreviewNames(const QString &folderPath, bool intoMobix, const PreviewNamesPtr &known = {});

// What a run would do with every ticked entry, against names read for the options' target.
// Works in memory only.
std::vector<PlannedEntry> previewRun(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                                     const PreviewNames &target);
// The same, reading the target's names first, and again only when the folder has changed since
// the last call with that target. Not safe to call from two threads at once.
std::vector<PlannedEntry> previewRun(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                                     const QString &folderPath);

// What keeps a new name from being given, whatever the folder holds: not a plain name, longer
// than the file system takes (storedLength and nameMax in the units it stores), or a rename to
// the name the file already has. The run and the preview ask this one rule.
SkipReason newNameProblem(const QString &name, qint64 storedLength, qint64 nameMax, bool renamedToItself);

// The reason in the program's language, as the report and the command line show it.
QString skipReasonText(SkipReason reason, int error = 0);
QString outcomeText(const EntryResult &result);
// The skipped entries of a run for the user, one line each ("old → new: reason"), at most
// maxLines and then "… und N weitere", below a line that says how many were skipped or that
// nothing was done; "" when every ticked entry was done.
QString skippedReportText(const std::vector<BatchEntry> &entries, const RunReport &report, int maxLines = 20);
