// The batch run: every ticked entry renamed or copied under its new name, with every
// protection, each outcome reported, and the copies on the device before the run ends.
#include "run.h"

#include <algorithm>
#include <cerrno>

#include <QSet>

#include <vector>

#include "engine/filescopy.h"
#include "engine/keptlisting.h"
#include "engine/namecase.h"
#include "engine/nameindex.h"
#include "engine/namerules.h"

namespace {

const NativeName mobixName = encodeNativeName(MobixFolderName);

#ifdef Q_OS_WIN
const QString separator = QStringLiteral("\\");
#else
const QString separator = QStringLiteral("/");
#endif

// One operation as the journal records it, with what identifies the file afterwards.
JournalStep journalStep(JournalStep::Kind kind, const NativeName &oldName, const NativeName &newName,
                        const FileFacts &facts)
{
    JournalStep step;
    step.kind = kind;
    step.oldName = oldName;
    step.newName = newName;
    step.identity = facts.identity;
    step.size = facts.size;
    std::copy_n(facts.modifyTime, 2, step.modifyTime);
    std::copy_n(facts.birthTime, 2, step.birthTime);
    return step;
}

void skip(EntryResult &result, SkipReason reason, int error = 0)
{
    result.outcome = Outcome::Skipped;
    result.reason = reason;
    result.error = error;
}

class Run
{
public:
    Run(const RenameOptions &options, RunObserver *observer) : m_options(options), m_observer(observer) {}
    ~Run()
    {
        closeFolder(&m_folder);
        closeFolder(&m_mobix);
    }

    RunReport go(const std::vector<BatchEntry> &entries, const QString &folderPath);

private:
    void readFolder(const std::vector<BatchEntry> &entries);
    int regularFileFacts(size_t index, const NativeName &name, FileFacts *facts);
    void handle(size_t index, const BatchEntry &entry, EntryResult &result);
    void rename(size_t index, const BatchEntry &entry, const NativeName &target, EntryResult &result);
    void copy(const BatchEntry &entry, Folder &into, const NativeName &target, EntryResult &result);
    Folder *copyTarget(EntryResult &result);
    void announceTemporaries(Folder &folder, bool intoMobix);
    bool cancelled()
    {
        if (!m_cancelled && m_observer && m_observer->cancelRequested())
            m_cancelled = true;
        return m_cancelled;
    }
    void tell()
    {
        if (m_observer)
            m_observer->progress(m_state);
    }

    const RenameOptions &m_options;
    RunObserver *m_observer;
    RunProgress m_state;
    Folder m_folder;
    Folder m_mobix;
    int m_mobixError = -1;           // -1 while "MOBIX" has not been opened yet
    qint64 m_nameMax = 255;
    QSet<NativeName> m_mobixBefore;  // the names in "MOBIX" when the run opened it
    QSet<NativeName> m_published;    // the names this run gave copies
    // Renaming, what the folder's listing at the start said of each ticked name; trusted once
    // a look at the first file agrees with it (FUSE, for one, numbers its listing otherwise).
    struct Listed {
        FileType type = FileType::Missing;
        quint64 inode = 0;
    };
    std::vector<Listed> m_listed; // by entry index
    quint64 m_folderDevice = 0;
    enum class Trust { Unchecked, Yes, No } m_listingTrusted = Trust::Unchecked;
    Trust m_typesTrusted = Trust::Unchecked; // the listing's types, where its numbers are not trusted
    bool m_cancelled = false;
    bool m_notRecorded = false; // the journal could not record a step: the run stops there
    bool m_anyCopies = false;
};

RunReport Run::go(const std::vector<BatchEntry> &entries, const QString &folderPath)
{
    RunReport report;
    report.results.reserve(size_t(std::count_if(entries.begin(), entries.end(), [](const BatchEntry &entry) {
        return entry.selected;
    })));
    m_state.entryCount = entries.size();
    tell();

    // Without a folder every name would be taken relative to the working directory.
    const bool endsInSeparator = folderPath.endsWith(separator) || folderPath.endsWith(QLatin1Char('/'));
    const int folderError = endsInSeparator ? openFolder(encodeNativeName(folderPath), &m_folder) : ENOENT;
    if (folderError == 0) {
        announceTemporaries(m_folder, false);
        readFolder(entries);
        m_nameMax = nameMaxAt(m_folder);
    }
    report.folderUnusable = folderError != 0;

    // The names of all entries first: a name made distinct depends on the names before it.
    // Copies are told apart in folded case where the file system ignores case; the first
    // ticked file tells.
    bool ignoresCase = false;
    if (folderError == 0 && !m_options.Overwrite) {
        const auto first = std::find_if(entries.begin(), entries.end(), [](const BatchEntry &entry) { return entry.selected; });
        ignoresCase = first != entries.end() && namesIgnoreCase(m_folder, first->nativeName);
    }
    std::vector<QString> names = planNames(entries, m_options, nullptr, ignoresCase);
    const size_t count = entries.size();
    for (size_t i = 0; i < count; ++i) {
        const BatchEntry &entry = entries[i];
        if (entry.selected) {
            EntryResult result;
            result.index = i;
            // Every ticked entry has its name, so a skipped entry still uses up its number.
            result.newName = std::move(names[i]);
            if (m_notRecorded)
                skip(result, SkipReason::NotRecorded);
            else if (cancelled())
                skip(result, SkipReason::Cancelled);
            else if (folderError != 0)
                skip(result, skipReasonFor(folderError), folderError);
            else
                handle(i, entry, result);
            if (result.reason == SkipReason::Cancelled)
                m_cancelled = true;
            report.results.push_back(std::move(result));
        }
        // The bar moves for unticked entries too; the last step waits for the flush.
        m_state.entriesDone = i + 1;
        m_state.bytesDone = m_state.bytesTotal = 0;
        m_state.flushing = m_anyCopies && i + 1 == count;
        tell();
    }
    if (m_anyCopies) {
        // The copies count as made only when they are on the device, not in the cache; when
        // they cannot be written out, none of them counts and the bar never shows a finished run.
        const int flushError = flushFileSystem(m_mobix.isOpen() ? m_mobix : m_folder);
        if (flushError != 0) {
            for (EntryResult &result : report.results) {
                if (result.outcome == Outcome::Copied)
                    skip(result, SkipReason::NotOnDevice, flushError);
            }
            if (m_observer)
                m_observer->copiesUnconfirmed();
        } else {
            m_state.flushing = false;
            tell();
        }
    }
    report.cancelled = m_cancelled;
    return report;
}

void Run::readFolder(const std::vector<BatchEntry> &entries)
{
    FileFacts folder;
    if (!m_options.Overwrite || !AnySelected(entries) || fileFacts(m_folder.handle, &folder) != 0)
        return;
    // Renaming, the folder is read once here instead of asking the file system about every
    // file before its rename: where renaming is fast (tmpfs) that look costs a third of it.
    m_folderDevice = folder.identity.device;
    m_listed.resize(entries.size());
    NameIndex ticked(entries.size(), [&entries](size_t at) -> const NativeName & { return entries[at].nativeName; });
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].selected)
            ticked.insert(i);
    }
    const auto take = [&](const ListedName &listed) {
        const qint64 index = ticked.find(listed.name);
        if (index >= 0)
            m_listed[size_t(index)] = {listed.type, listed.inode};
    };
    // The listing the entries came from serves while the folder's entries have not changed since.
    if (!takeKeptListing(m_folder, take))
        listNamesButTemporaries(m_folder, take);
}

// The file's type (links followed) and identity, for the regular-file check and the journal.
// Only a name the listing showed as a regular file, with its inode, is taken from there.
int Run::regularFileFacts(size_t index, const NativeName &name, FileFacts *facts)
{
    const Listed listed = index < m_listed.size() ? m_listed[index] : Listed();
    const bool fromListing = listed.type == FileType::Regular && listed.inode != 0 && m_folder.identityStable;
    if (fromListing && m_listingTrusted == Trust::Yes) {
        facts->type = FileType::Regular;
        facts->identity = {m_folderDevice, listed.inode};
        return 0;
    }
    // Where identities do not last (FUSE, FAT) the listing's numbers are not the files' own, but
    // its types are; a run without a journal needs nothing else of the file, so the look at it
    // goes once the first file agrees, and the rename is the reservation's create, close and
    // rename alone.
    const bool typeOnly = listed.type == FileType::Regular && !m_folder.identityStable && !m_observer;
    if (typeOnly && m_typesTrusted == Trust::Yes) {
        *facts = FileFacts();
        facts->type = FileType::Regular;
        return 0;
    }
    const int error = statAt(m_folder, name, true, facts);
    if (fromListing && m_listingTrusted == Trust::Unchecked && error == 0) {
        const FileIdentity seen{m_folderDevice, listed.inode};
        m_listingTrusted = facts->type == FileType::Regular && facts->identity == seen ? Trust::Yes : Trust::No;
    }
    if (typeOnly && m_typesTrusted == Trust::Unchecked && error == 0)
        m_typesTrusted = facts->type == FileType::Regular ? Trust::Yes : Trust::No;
    return error;
}

void Run::handle(size_t index, const BatchEntry &entry, EntryResult &result)
{
    const NativeName target = encodeNativeName(result.newName);
    // "MOBIX" is opened (and made) only for a name that may go into it, and its file system's
    // limit is the one the name must keep.
    Folder *into = &m_folder;
    if (!m_options.Overwrite && m_options.Subdirectory && newNameProblem(result.newName, 0, 1, false) == SkipReason::None
        && !(into = copyTarget(result)))
        return;
    const SkipReason problem = newNameProblem(result.newName, qint64(target.size()), m_nameMax,
                                              m_options.Overwrite && target == entry.nativeName);
    if (problem != SkipReason::None)
        return skip(result, problem);
    if (m_options.Overwrite)
        rename(index, entry, target, result);
    else
        copy(entry, *into, target, result);
}

void Run::rename(size_t index, const BatchEntry &entry, const NativeName &target, EntryResult &result)
{
    // Only a regular file (or a link to one, as listed) is renamed, never what took its name.
    FileFacts facts;
    const int statError = regularFileFacts(index, entry.nativeName, &facts);
    if (statError != 0 || facts.type != FileType::Regular)
        return skip(result, SkipReason::SourceGone, statError);
    // The step for the journal is only made for an observer to take it. Where identities do not
    // last, the file's size, time and fingerprint tell it again at the undo.
    JournalStep step;
    if (m_observer) {
        step = journalStep(JournalStep::Rename, entry.nativeName, target, facts);
        if (!m_folder.identityStable)
            step.fingerprint = fingerprintAt(m_folder, entry.nativeName, facts.size);
        if (!m_observer->aboutToPublish(step)) {
            m_notRecorded = true;
            return skip(result, SkipReason::NotRecorded);
        }
    }
    const int error = renameInFolder(m_folder, entry.nativeName, target);
    if (m_observer)
        m_observer->published(step, error == 0);
    if (error != 0)
        return skip(result, skipReasonFor(error), error);
    result.outcome = Outcome::Renamed;
}

// A temporary file's hidden name goes into the journal before the file is made, so that the
// next run or an undo removes it should this run be killed, and never a file that only looks
// like one.
void Run::announceTemporaries(Folder &folder, bool intoMobix)
{
    if (!m_observer)
        return;
    folder.beforeTemporary = [this, intoMobix](const NativeName &name) {
        m_notRecorded = !m_observer->aboutToMakeTemporary(intoMobix, name);
        return !m_notRecorded;
    };
}

Folder *Run::copyTarget(EntryResult &result)
{
    if (m_mobixError < 0) {
        // Only a real folder inside the listed one; a link to anywhere is never followed.
        m_mobixError = openSubfolder(m_folder, mobixName, true, &m_mobix);
        if (m_mobixError == 0) {
            listNamesButTemporaries(m_mobix, [this](const ListedName &listed) { m_mobixBefore.insert(listed.name); });
            announceTemporaries(m_mobix, true);
            m_nameMax = nameMaxAt(m_mobix);
        }
    }
    if (m_mobixError == 0)
        return &m_mobix;
    skip(result, SkipReason::MobixUnusable, m_mobixError);
    return nullptr;
}

void Run::copy(const BatchEntry &entry, Folder &into, const NativeName &target, EntryResult &result)
{
    const bool intoMobix = &into == &m_mobix;
    // A copy never replaces one that this run made: the first entry in the list keeps the name.
    if (m_published.contains(target))
        return skip(result, SkipReason::NameTaken);

    FileHandle source = noFileHandle;
    FileFacts facts;
    int error = openRegularFileAt(m_folder, entry.nativeName, &source, &facts);
    if (error != 0)
        return skip(result, error == EACCES || error == EPERM ? SkipReason::NoPermission : SkipReason::SourceGone, error);

    FileFacts existing;
    if (statAt(into, target, false, &existing) == 0) {
        // Beside the originals nothing is replaced. In "MOBIX" an older copy of exactly this
        // name is refreshed; a name that only differs in case (file systems that ignore case
        // find it too), or that appeared during the run, is left alone, and so is the source.
        FileFacts followed;
        statAt(into, target, true, &followed);
        if (!intoMobix || !m_mobixBefore.contains(target) || followed.identity == facts.identity
            || !mayBeOlderCopy(existing.type)) {
            closeFile(source);
            return skip(result, SkipReason::NameTaken, EEXIST);
        }
        result.replacedOlder = true;
    }

    m_state.bytesDone = 0;
    m_state.bytesTotal = facts.size;
    const auto between = [this](qint64 done) {
        m_state.bytesDone = done;
        tell();
        return !cancelled();
    };
    JournalStep step;
    const auto beforePublish = [&](const CopiedFile &copied) {
        if (!m_observer)
            return true;
        FileFacts copy;
        copy.identity = copied.identity;
        copy.size = copied.size;
        std::copy_n(copied.modifyTime, 2, copy.modifyTime);
        std::copy_n(copied.birthTime, 2, copy.birthTime);
        step = journalStep(JournalStep::Copy, entry.nativeName, target, copy);
        step.intoMobix = intoMobix;
        step.replacesOlder = result.replacedOlder;
        step.source = {facts.identity, facts.size, {facts.modifyTime[0], facts.modifyTime[1]}};
        if (!into.identityStable)
            step.fingerprint = fileFingerprint(source, facts.size);
        m_notRecorded = !m_observer->aboutToPublish(step);
        return !m_notRecorded;
    };
    // Only the older copy seen above is replaced, and only while the name still holds it as it
    // was: a file put there during the copy stays. A name that was free is taken without
    // replacing, so a file that appears there during the copy is left alone too.
    error = copyOpenFile(source, facts, into, target, result.replacedOlder ? &existing : nullptr, between,
                         beforePublish);
    closeFile(source);
    if (m_notRecorded) {
        result.replacedOlder = false;
        return skip(result, SkipReason::NotRecorded);
    }
    if (m_observer && !step.newName.isEmpty())
        m_observer->published(step, error == 0);
    if (error != 0) {
        result.replacedOlder = false;
        return skip(result, skipReasonFor(error), error);
    }
    m_published.insert(target);
    m_anyCopies = true;
    result.outcome = Outcome::Copied;
}

} // namespace

RunReport runBatch(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                   const QString &folderPath, RunObserver *observer)
{
    if (entries.empty())
        return RunReport();
    Run run(options, observer);
    return run.go(entries, folderPath);
}
