#include "run.h"

#include <cerrno>
#include <cstring>

#include <QStringList>

#include "engine/nameindex.h"
#include "engine/namerules.h"

float RunProgress::barValue() const
{
    if (entryCount == 0)
        return 100.0f;
    // Just below 100, and above every value before it for lists of up to a million entries.
    if (flushing)
        return 99.9999f;
    double value = double(entriesDone) / double(entryCount) * 100.0;
    if (bytesTotal > 0 && entriesDone < entryCount)
        value += double(bytesDone) / double(bytesTotal) / double(entryCount) * 100.0;
    return value <= 0.0 ? 0.0001f : float(value);
}

int RunReport::countDone() const
{
    int done = 0;
    for (const EntryResult &result : results)
        done += result.outcome != Outcome::Skipped;
    return done;
}

int RunReport::countSkipped() const
{
    return int(results.size()) - countDone();
}

SkipReason newNameProblem(const QString &name, qint64 storedLength, qint64 nameMax, bool renamedToItself)
{
    // Nothing before the extension: ".mp3" would be a hidden file, and the next one taken.
    if (name.isEmpty() || name.lastIndexOf(QLatin1Char('.')) == 0)
        return SkipReason::NameEmpty;
    if (!isPlainFileName(name))
        return SkipReason::NameNotAllowed;
    if (storedLength > nameMax)
        return SkipReason::NameTooLong;
    if (renamedToItself)
        return SkipReason::Unchanged;
    return SkipReason::None;
}

std::vector<QString> planNames(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                               std::vector<size_t> *wantedFirst)
{
    qint32 NextNumber = 1;
    std::vector<QString> names(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].selected)
            names[i] = newFileName(entries[i], options, NextNumber);
    }
    if (wantedFirst)
        wantedFirst->assign(entries.size(), size_t(-1));
    // Renaming keeps its rule: the later file keeps its old name.
    if (options.Overwrite)
        return names;
    // Copying, the first in list order keeps a name and each later one gets a number at its end,
    // one that no other entry gets as its own name: the same batch gets the same names again.
    const std::vector<QString> natural = names;
    const auto given = [&entries, &natural](size_t i) {
        // A name with nothing before its extension is never given (newNameProblem).
        return entries[i].selected && !natural[i].isEmpty() && natural[i].lastIndexOf(QLatin1Char('.')) != 0;
    };
    NameIndex wanted(entries.size(), [&natural](size_t at) -> const QString & { return natural[at]; });
    // The entries whose name an earlier one gets, with that one.
    std::vector<std::pair<size_t, size_t>> later;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!given(i))
            continue;
        if (const qint64 first = wanted.findOrInsert(i); first >= 0) {
            later.emplace_back(i, size_t(first));
            if (wantedFirst)
                (*wantedFirst)[i] = size_t(first);
        }
    }
    if (later.empty())
        return names;
    NameIndex made(later.size(), [&names](size_t at) -> const QString & { return names[at]; });
    // Per entry that keeps a name, the number its next double tries first.
    std::vector<int> nextNumber(entries.size(), 2);
    for (const auto &[i, first] : later) {
        const qint32 length = options.CutAfterLength ? options.MaxFileLength
                                                     : qint32(StripExtension(natural[i]).size());
        int &number = nextNumber[first];
        for (;; ++number) {
            QString distinct = distinctFileName(entries[i], natural[i], number, length);
            if (distinct.isEmpty())
                break;
            if (wanted.find(distinct) < 0) {
                names[i] = std::move(distinct);
                if (made.findOrInsert(i) < 0)
                    break;
                names[i] = natural[i];
            }
        }
    }
    return names;
}

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
    if (!known || !sameTarget(*known, now)) {
        const Folder &target = mobix.isOpen() ? mobix : folder;
        if (target.isOpen())
            now.nameMax = nameMaxAt(target);
        // Only beside the originals and in place do the names found there count.
        if (target.isOpen() && !intoMobix) {
            // Gathered first, so each set is made at its size at once.
            std::vector<NativeName> found;
            std::vector<QString> shown;
            listNames(target, [&](const ListedName &listed) {
                found.push_back(listed.name);
                QString name = decodeNativeName(listed.name);
                if (!name.contains(QChar::ReplacementCharacter))
                    shown.push_back(std::move(name));
            });
            now.names = NameSet<NativeName>(std::move(found));
            now.shownNames = NameSet<QString>(std::move(shown));
        }
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
    const std::vector<QString> names = planNames(entries, options, &wantedFirst);
    const bool intoMobix = copiesIntoMobix(options);
    // What the target folder holds as the run goes on: the names found there, less those a
    // rename frees, plus those the run gives. In "MOBIX" older copies are refreshed, so only the
    // names this run gives count there.
    const NameSet<NativeName> &found = target.names;
    // Which entry got a new name first: only entries without a problem are in it.
    NameIndex givenTo(rename ? entries.size() : 0, [&names](size_t at) -> const QString & { return names[at]; });
    // A name found in the folder is free again when an earlier ticked entry had it and gets
    // renamed; the index of old names is made only when a new name meets a found one.
    NameIndex ticked(entries.size(), [&entries](size_t at) -> const NativeName & { return entries[at].nativeName; });
    bool tickedMade = false;
    const auto freedBefore = [&](const NativeName &native, size_t at) {
        if (!rename)
            return false;
        if (!tickedMade) {
            for (size_t k = 0; k < entries.size(); ++k) {
                if (entries[k].selected)
                    ticked.insert(k);
            }
            tickedMade = true;
        }
        const qint64 had = ticked.find(native);
        return had >= 0 && size_t(had) < at && plan[size_t(had)].problem == SkipReason::None;
    };
    // The earlier ticked entry that gets the name first, or -1.
    const auto earlierHolder = [&](size_t i, const QString &name) -> qint64 {
        if (rename)
            return givenTo.find(name);
        const size_t first = wantedFirst[i];
        return first != size_t(-1) && name == names[first] && plan[first].problem == SkipReason::None ? qint64(first)
                                                                                                      : -1;
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].selected)
            continue;
        PlannedEntry &planned = plan[i];
        const QString &name = names[i];
        planned.newName = name;
        const size_t first = wantedFirst[i];
        if (first != size_t(-1) && name != names[first])
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
        else if (const qint64 clash = earlierHolder(i, name); clash >= 0) {
            planned.problem = SkipReason::NameTaken;
            planned.clashWith = size_t(clash);
        } else if (!intoMobix && (lossy ? found.contains(native) : target.shownNames.contains(name))
                   && !freedBefore(lossy ? native : encodeNativeName(name), i))
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

QString skipReasonText(SkipReason reason, int error)
{
    switch (reason) {
    case SkipReason::None:
        return QString();
    case SkipReason::NameTaken:
        return QStringLiteral("Name schon vergeben");
    case SkipReason::NameNotAllowed:
        return QStringLiteral("Name nicht erlaubt");
    case SkipReason::NameTooLong:
        return QStringLiteral("Name zu lang");
    case SkipReason::Unchanged:
        return QStringLiteral("Name unverändert");
    case SkipReason::SourceGone:
        return QStringLiteral("Datei fehlt oder ist keine normale Datei");
    case SkipReason::NoSpace:
        return QStringLiteral("kein Platz mehr");
    case SkipReason::NoPermission:
        return QStringLiteral("keine Berechtigung");
    case SkipReason::MobixUnusable:
        return QStringLiteral("Unterordner MOBIX nicht nutzbar");
    case SkipReason::Cancelled:
        return QStringLiteral("abgebrochen");
    case SkipReason::NotRecorded:
        return QStringLiteral("Lauf angehalten: Protokoll nicht schreibbar");
    case SkipReason::NotOnDevice:
        return QStringLiteral("Schreiben auf das Gerät fehlgeschlagen");
    case SkipReason::NameEmpty:
        return QStringLiteral("Name leer");
    case SkipReason::OtherError:
        break;
    }
    return error ? QStringLiteral("Fehler %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)))
                 : QStringLiteral("Fehler");
}

QString outcomeText(const EntryResult &result)
{
    switch (result.outcome) {
    case Outcome::Renamed:
        return QStringLiteral("umbenannt");
    case Outcome::Copied:
        return QStringLiteral("kopiert");
    case Outcome::Skipped:
        break;
    }
    return QStringLiteral("übersprungen: ") + skipReasonText(result.reason, result.error);
}

QString skippedReportText(const std::vector<BatchEntry> &entries, const RunReport &report, int maxLines)
{
    const int skipped = report.countSkipped();
    if (skipped == 0)
        return QString();
    QStringList lines;
    lines << (report.countDone() == 0 ? QStringLiteral("Keine Datei wurde umbenannt oder kopiert:")
                                      : QStringLiteral("%1 von %2 ausgewählten Dateien wurden übersprungen:")
                                            .arg(skipped)
                                            .arg(report.results.size()));
    int listed = 0;
    for (const EntryResult &result : report.results) {
        if (result.outcome != Outcome::Skipped || ++listed > maxLines)
            continue;
        const QString old = result.index < entries.size() ? entries[result.index].text : QString();
        lines << old + QStringLiteral(" → ") + result.newName + QStringLiteral(": ")
                     + skipReasonText(result.reason, result.error);
    }
    if (listed > maxLines)
        lines << QStringLiteral("… und %1 weitere").arg(listed - maxLines);
    return lines.join(QLatin1Char('\n'));
}

SkipReason skipReasonFor(int error)
{
    switch (error) {
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
        return SkipReason::NameTaken;
    case ENAMETOOLONG:
        return SkipReason::NameTooLong;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENXIO:
        return SkipReason::SourceGone;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return SkipReason::NoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
        return SkipReason::NoPermission;
    case ECANCELED:
        return SkipReason::Cancelled;
    default:
        return SkipReason::OtherError;
    }
}
