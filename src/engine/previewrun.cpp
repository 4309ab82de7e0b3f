// The preview: what a run would do with every ticked entry, worked out against the names read
// from its target folder, without changing anything.
#include "run.h"

#include <cerrno>

#include "engine/namecase.h"
#include "engine/nameindex.h"
#include "engine/namerules.h"

namespace {

// The length of the name as the file system stores it: UTF-8 bytes, UTF-16 units on Windows.
qint64 nativeLength(const QString &name)
{
#ifdef Q_OS_WIN
    return name.size();
#else
    qint64 bytes = 0;
    const qsizetype size = name.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = name.at(i).unicode();
        if (c < 0x80)
            bytes += 1;
        else if (c < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < size && name.at(i + 1).isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else
            bytes += 3;
    }
    return bytes;
#endif
}

// Opens the target and tells what identifies it now: its path, whether it opens, and its
// identity and modification time. The folders stay open for the caller.
PreviewNames lookAtTarget(const QString &folderPath, bool intoMobix, Folder &folder, Folder &mobix)
{
    PreviewNames now;
    now.folderPath = folderPath;
    now.intoMobix = intoMobix;
    now.path = encodeNativeName(folderPath);
    now.error = folderPath.isEmpty() ? ENOENT : openFolder(now.path, &folder);
    if (now.error == 0 && intoMobix) {
        now.mobixError = openSubfolder(folder, encodeNativeName(MobixFolderName), false, &mobix);
        now.path += '/' + encodeNativeName(MobixFolderName);
    }
    const Folder &target = mobix.isOpen() ? mobix : folder;
    if (target.isOpen()) {
        fileFacts(target.handle, &now.facts);
        now.writeError = writableFolder(target);
        // A file system keeps times in ticks of up to two seconds (FAT) and may take them from a
        // clock that lags: only a time well before now is surely moved by the next change.
        qint64 clock[2];
        fileSystemNow(clock);
        now.settled = now.facts.modifyTime[0] + 3 * fileTimeSecond < clock[0];
    }
    return now;
}

bool sameTarget(const PreviewNames &known, const PreviewNames &now)
{
    return known.path == now.path && known.intoMobix == now.intoMobix && known.error == now.error
        && known.mobixError == now.mobixError && known.writeError == now.writeError
        && sameUnchangedFile(known.facts, now.facts);
}

} // namespace

PreviewNamesPtr readPreviewNames(const QString &folderPath, bool intoMobix, const PreviewNamesPtr &known)
{
    Folder folder;
    Folder mobix;
    PreviewNames now = lookAtTarget(folderPath, intoMobix, folder, mobix);
    PreviewNamesPtr result = known;
    if (!known || !known->settled || !sameTarget(*known, now)) {
        const Folder &target = mobix.isOpen() ? mobix : folder;
        if (target.isOpen())
            now.nameMax = nameMaxAt(target);
        // Only beside the originals and in place do the names found there count.
        if (target.isOpen() && !intoMobix) {
            // Gathered first, so each set is made at its size at once.
            std::vector<NativeName> found;
            std::vector<QString> shown;
            listNames(target, [&](const ListedName &listed) { found.push_back(listed.name); });
            // Where the file system ignores case, the sets hold the names in folded case.
            now.ignoresCase = ignoresCaseByNames(target, found);
            shown.reserve(found.size());
            for (NativeName &name : found) {
                if (now.ignoresCase)
                    name = foldedNativeName(name);
                QString decoded = decodeNativeName(name);
                if (!decoded.contains(QChar::ReplacementCharacter))
                    shown.push_back(std::move(decoded));
            }
            now.names = NameSet<NativeName>(std::move(found));
            now.shownNames = NameSet<QString>(std::move(shown));
        } else if (target.isOpen()) {
            now.ignoresCase = mobix.isOpen() ? namesIgnoreCase(folder, encodeNativeName(MobixFolderName))
                                             : folderIgnoresCase(folder);
            std::vector<QString> exact, folded, others;
            if (mobix.isOpen())
                listNamesButTemporaries(mobix, [&](const ListedName &listed) {
                    // A type the listing does not tell may be an older copy.
                    if (listed.type != FileType::Missing && !mayBeOlderCopy(listed.type))
                        others.push_back(decodeNativeName(listed.name));
                    if (now.ignoresCase) {
                        exact.push_back(decodeNativeName(listed.name));
                        folded.push_back(foldedName(exact.back()));
                    }
                });
            now.mobixNames = NameSet<QString>(std::move(exact));
            now.mobixFolded = NameSet<QString>(std::move(folded));
            now.mobixOthers = NameSet<QString>(std::move(others));
        }
        // Read again only because the folder's time was too recent to trust, the same names
        // keep the names known: the preview is not made anew for nothing.
        const bool same = known && !now.settled && sameTarget(*known, now) && known->names.sameNames(now.names)
            && known->mobixNames.sameNames(now.mobixNames) && known->mobixOthers.sameNames(now.mobixOthers);
        if (!same)
            result = std::make_shared<const PreviewNames>(std::move(now));
    }
    closeFolder(&mobix);
    closeFolder(&folder);
    return result;
}

std::vector<PlannedEntry> previewRun(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                                     const QString &folderPath)
{
    // One set of names for each target (the folder itself, its "MOBIX"), so switching between
    // the modes does not read a large folder again.
    static PreviewNamesPtr known[2];
    PreviewNamesPtr &names = known[copiesIntoMobix(options) ? 1 : 0];
    if (AnySelected(entries))
        names = readPreviewNames(folderPath, copiesIntoMobix(options), names);
    return names ? previewRun(entries, options, *names) : std::vector<PlannedEntry>(entries.size());
}

std::vector<PlannedEntry> previewRun(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                                     const PreviewNames &target)
{
    std::vector<PlannedEntry> plan(entries.size());
    if (!AnySelected(entries))
        return plan;
    const bool rename = options.Overwrite;
    // Copying, a name is only ever doubled where it could not be made distinct: wantedFirst
    // tells the earlier entry. Renaming, every name given is looked up.
    std::vector<size_t> wantedFirst;
    const bool folded = target.ignoresCase;
    const std::vector<QString> names = planNames(entries, options, &wantedFirst, folded);
    // The names compared, in folded case where the file system ignores case.
    std::vector<QString> foldedNames;
    if (folded) {
        foldedNames.reserve(names.size());
        for (const QString &name : names)
            foldedNames.push_back(foldedName(name));
    }
    const std::vector<QString> &keys = folded ? foldedNames : names;
    const bool intoMobix = copiesIntoMobix(options);
    // What the target folder holds as the run goes on: the names found there, less those a
    // rename frees, plus those the run gives. In "MOBIX" older copies are refreshed, so only the
    // names this run gives count there.
    const NameSet<NativeName> &found = target.names;
    // Which entry got a new name first: only entries without a problem are in it.
    NameIndex givenTo(rename ? entries.size() : 0, [&keys](size_t at) -> const QString & { return keys[at]; });
    // A name found in the folder is free again when an earlier ticked entry had it and gets
    // renamed; the index of old names is made only when a new name meets a found one.
    // The entry's own old name counts as freed too: in other case alone, a file system that
    // ignores case finds the file itself under the new name.
    std::vector<NativeName> oldKeys;
    NameIndex ticked(entries.size(), [&entries, &oldKeys, folded](size_t at) -> const NativeName & {
        return folded ? oldKeys[at] : entries[at].nativeName;
    });
    bool tickedMade = false;
    const auto freedBefore = [&](const NativeName &native, size_t at) {
        if (!rename)
            return false;
        if (!tickedMade) {
            if (folded)
                oldKeys.resize(entries.size());
            for (size_t k = 0; k < entries.size(); ++k) {
                if (entries[k].selected) {
                    if (folded)
                        oldKeys[k] = foldedNativeName(entries[k].nativeName);
                    ticked.insert(k);
                }
            }
            tickedMade = true;
        }
        const qint64 had = ticked.find(folded ? foldedNativeName(native) : native);
        return had >= 0 && size_t(had) <= at && plan[size_t(had)].problem == SkipReason::None;
    };
    // The earlier ticked entry that gets the name first, or -1.
    const auto earlierHolder = [&](size_t i, const QString &name) -> qint64 {
        if (rename)
            return givenTo.find(name);
        const size_t first = wantedFirst[i];
        return first != size_t(-1) && keys[i] == keys[first] && plan[first].problem == SkipReason::None ? qint64(first)
                                                                                                        : -1;
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].selected)
            continue;
        PlannedEntry &planned = plan[i];
        const QString &name = names[i];
        planned.newName = name;
        const size_t first = wantedFirst[i];
        if (first != size_t(-1) && keys[i] != keys[first])
            planned.doubledWith = first;
        // The native form is made only where the shown name (with U+FFFD) cannot stand for the
        // bytes; other names are compared as shown, so typing stays fluent.
        const bool lossy = name.contains(QChar::ReplacementCharacter);
        const NativeName native = lossy ? encodeNativeName(name) : NativeName();
        planned.unchanged = lossy ? native == entries[i].nativeName : name == entries[i].text;
        const SkipReason own = newNameProblem(name, nativeLength(name), target.nameMax, rename && planned.unchanged);
        if (own == SkipReason::NameNotAllowed || own == SkipReason::NameEmpty)
            planned.problem = own;
        else if (target.error != 0)
            planned.problem = SkipReason::SourceGone;
        else if (intoMobix && target.mobixError != 0 && target.mobixError != ENOENT)
            planned.problem = SkipReason::MobixUnusable;
        else if (own != SkipReason::None)
            planned.problem = own;
        else if (const qint64 clash = earlierHolder(i, keys[i]); clash >= 0) {
            planned.problem = SkipReason::NameTaken;
            planned.clashWith = size_t(clash);
        } else if (!intoMobix
                   && (lossy ? found.contains(folded ? foldedNativeName(native) : native) : target.shownNames.contains(keys[i]))
                   && !freedBefore(lossy ? native : encodeNativeName(name), i))
            planned.problem = SkipReason::NameTaken;
        else if (intoMobix
                 && ((target.mobixFolded.contains(keys[i]) && !target.mobixNames.contains(name))
                     || target.mobixOthers.contains(name)))
            planned.problem = SkipReason::NameTaken;
        else if (target.writeError != 0)
            // The run meets the folder's permissions as it writes: "MOBIX" cannot be made, or
            // no name can be given.
            planned.problem = intoMobix && target.mobixError == ENOENT ? SkipReason::MobixUnusable
                                                                       : SkipReason::NoPermission;
        if (planned.problem == SkipReason::None && rename)
            givenTo.insert(i);
    }
    return plan;
}
