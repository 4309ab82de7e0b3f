#include "undo.h"

#include <cerrno>
#include <cstdlib>
#include <functional>

#include <QFileInfo>

#include "engine/batchrun.h"
#include "engine/journal.h"
#include "engine/leftovers.h"
#include "engine/namecase.h"
#include "engine/platformfs.h"

namespace {

const QString missing = QStringLiteral("Datei fehlt");
const QString changed = QStringLiteral("Datei wurde seither geändert oder ersetzt");
const QString originalGone = QStringLiteral("Original fehlt oder wurde geändert, die Kopie bleibt");
const QString invalid = QStringLiteral("ungültiger Eintrag im Protokoll, nichts geändert");

QString errorText(int error)
{
    if (error == EEXIST || error == ENOTEMPTY || error == EISDIR)
        return QStringLiteral("alter Name ist wieder vergeben");
    return skipReasonText(error == EACCES || error == EPERM || error == EROFS ? SkipReason::NoPermission
                                                                              : SkipReason::OtherError, error);
}

bool later(const qint64 a[2], const qint64 b[2])
{
    return a[0] > b[0] || (a[0] == b[0] && a[1] > b[1]);
}

// Times as a medium keeps them: to the nanosecond where identities last, else within the two
// seconds FAT rounds to, or as much an hour off: FAT keeps local time, which the change of the
// clocks for summer or winter moves against the system's.
bool sameTime(const qint64 a[2], const qint64 b[2], bool exact)
{
    if (exact)
        return a[0] == b[0] && a[1] == b[1];
    const qint64 apart = std::llabs(a[0] - b[0]);
    return apart <= 2 * fileTimeSecond || std::llabs(apart - 3600 * fileTimeSecond) <= 2 * fileTimeSecond;
}

// Whether facts describe the file the step left, as far as the medium can tell.
bool isStepFile(const Folder &folder, const JournalStep &step, const FileFacts &facts, const qint64 runStart[2])
{
    if (facts.type != FileType::Regular)
        return false;
    if (!folder.identityStable) {
        // Numbers change when a card is mounted again: the name, size, time and the bytes at
        // both ends tell the file instead.
        return facts.size == step.size && sameTime(facts.modifyTime, step.modifyTime, false)
            && (step.fingerprint == 0 || fingerprintAt(folder, step.newName, facts.size) == step.fingerprint);
    }
    if (!(facts.identity == step.identity))
        return false;
    // A number can be handed out again to a file made later: a birth time after the run's
    // start (renames) or other than the copy's own tells such a file apart.
    if (step.kind == JournalStep::Rename)
        return facts.birthTime[0] == 0 || runStart[0] == 0 || !later(facts.birthTime, runStart);
    return facts.size == step.size && sameTime(facts.modifyTime, step.modifyTime, true)
        && (facts.birthTime[0] == 0 || step.birthTime[0] == 0 || sameTime(facts.birthTime, step.birthTime, true));
}

// A copy goes only while its original is still there as it was copied: else it may be the
// only one left. Where identities do not last, the original's time may be off only by as
// much as the copy's (shift): the clocks changed for both, not a tool for the original alone.
bool originalStillThere(const Folder &folder, const JournalStep &step, qint64 shift)
{
    FileFacts original;
    if (statAt(folder, step.oldName, true, &original) != 0 || original.type != FileType::Regular)
        return false;
    if (!step.sourceKnown)
        return true;
    const qint64 shifted[2] = {step.source.modifyTime[0] + shift, step.source.modifyTime[1]};
    return original.size == step.source.size && sameTime(original.modifyTime, shifted, folder.identityStable)
        && std::llabs(original.modifyTime[0] - shifted[0]) <= 2 * fileTimeSecond
        && (!folder.identityStable || original.identity == step.source.identity);
}

// A renamed file that is under its old name again, as an undo killed later left it: there is
// nothing left to take back, and nothing to report.
bool backUnderOldName(const Folder &folder, const JournalStep &step)
{
    FileFacts facts;
    return statAt(folder, step.oldName, true, &facts) == 0 && facts.type == FileType::Regular
        && (folder.identityStable ? facts.identity == step.identity
                                  : facts.size == step.size && sameTime(facts.modifyTime, step.modifyTime, false));
}

void undoStep(Folder &folder, Folder &target, int targetError, const JournalRecord &record, const qint64 runStart[2],
              const std::function<void(const JournalStep &)> &beforeRename, UndoResult &result)
{
    const JournalStep &step = record.step;
    FileFacts facts;
    const int statError = targetError != 0 ? targetError
                                           : statAt(target, step.newName, step.kind == JournalStep::Rename, &facts);
    if (statError != 0) {
        // A step the run never got to do leaves nothing to take back. A file that cannot be
        // looked at (a card pulled midway, a share gone) is not missing: the step stays.
        if (statError != ENOENT && statError != ENOTDIR)
            result.reason = errorText(statError);
        else if (record.done == 1 && !(step.kind == JournalStep::Rename && backUnderOldName(folder, step)))
            result.reason = missing;
        return;
    }
    if (!isStepFile(target, step, facts, runStart)) {
        result.reason = record.done == 1 ? changed : QString();
        return;
    }
    const qint64 shift = target.identityStable ? 0 : facts.modifyTime[0] - step.modifyTime[0];
    if (step.kind == JournalStep::Copy && !originalStillThere(folder, step, shift)) {
        result.reason = originalGone;
        return;
    }
    if (step.kind == JournalStep::Rename)
        beforeRename(step);
    const int error = step.kind == JournalStep::Rename ? renameInFolder(folder, step.newName, step.oldName)
                                                       : removeAt(target, step.newName);
    result.done = error == 0;
    if (error != 0)
        result.reason = errorText(error);
    else if (step.replacesOlder)
        result.reason = QStringLiteral("die ältere Datei in MOBIX lässt sich nicht wiederherstellen");
}

// Problems that may go away (a name taken again, a permission) are tried again by the next
// undo; a file that is gone or changed, a copy that is all that is left of its original, or a
// step that was taken back, is not.
bool worthKeeping(const UndoResult &result)
{
    return !result.done && !result.reason.isEmpty() && result.reason != missing && result.reason != changed
        && result.reason != invalid && result.reason != originalGone;
}

} // namespace

int UndoReport::countDone() const
{
    int done = 0;
    for (const UndoResult &result : results)
        done += result.done;
    return done;
}

int UndoReport::countProblems() const
{
    int problems = 0;
    for (const UndoResult &result : results)
        problems += !result.reason.isEmpty();
    return problems;
}

UndoReport undoLastRun(const QString &folderPath)
{
    UndoReport report;
    JournalFile file;
    const QString path = folderPath.isEmpty() ? QString() : journalPath(folderPath);
    const bool outdated = !path.isEmpty() && QFileInfo::exists(outdatedMarkerPath(path));
    const int openError = path.isEmpty() || outdated ? ENOENT : file.open(path, false);
    report.busy = openError == EBUSY;
    if (!file.isOpen()) {
        if (openError != ENOENT && !report.busy)
            report.journalProblem = journalProblemText(openError);
        return report;
    }
    // A run killed before its first step took effect gives way to the journal before it.
    recoverJournalBefore(file, path, folderPath);
    QByteArray bytes;
    JournalContents contents;
    report.hadJournal = file.readAll(&bytes) == 0 && parseJournal(bytes, folderPath, &contents);
    if (!report.hadJournal)
        return report;
    removeWhatAKilledRunLeft(folderPath, contents);
    // A run killed before any step took effect has nothing to take back: its journal goes.
    const StepsTaken taken = journalStepsTaken(folderPath, contents);
    if (taken == StepsTaken::None) {
        report.hadJournal = false;
        removeJournalBefore(path);
        file.remove();
        return report;
    }
    Folder folder;
    Folder mobix;
    const int folderError = openFolder(encodeNativeName(folderPath), &folder);
    const int mobixError = folderError != 0 ? folderError
                                            : openSubfolder(folder, encodeNativeName(MobixFolderName), false, &mobix);
    std::vector<JournalRecord> kept;
    bool nothingThere = true; // of the run's files, neither the new names nor the old ones
    // Before each rename back, the journal says which one it is and since when, after its text:
    // where the old name is taken with an empty file first (FAT and exFAT through FUSE), a kill
    // in between leaves that file, which the next undo or run then removes.
    const qsizetype zero = bytes.indexOf('\0');
    const qsizetype textEnd = zero < 0 ? bytes.size() : zero;
    JournalUndoMark written; // the one written for this step
    const auto beforeRename = [&](const JournalStep &step) {
        // Where the folder's renames turned out to need no empty file, nothing is written.
        if (folder.publish == PublishMethod::NoReplaceRename || folder.publish == PublishMethod::LinkUnlink)
            return;
        JournalUndoMark mark{step.oldName, step.newName};
        fileSystemNow(mark.time);
        const QByteArray line = undoMarkLine(mark) + '\0';
        mark.valid = file.isWritable() && file.write(textEnd, line.constData(), line.size()) == 0;
        written = mark;
    };
    // A rename back that failed otherwise than on an old name taken by another file may have
    // left its empty file there, when that could not be removed either (the card pulled in
    // between): its mark stays in the journal, for the next undo or run to clear it away.
    JournalUndoMark failed;
    // Backwards, so that a name the run freed and gave again is free when its turn comes.
    for (auto it = contents.records.rbegin(); it != contents.records.rend(); ++it) {
        if (it->done == 0)
            continue;
        UndoResult result;
        result.copy = it->step.kind == JournalStep::Copy;
        result.intoMobix = it->step.intoMobix;
        result.name = decodeNativeName(it->step.newName);
        result.oldName = decodeNativeName(it->step.oldName);
        result.nativeName = it->step.newName;
        result.nativeOldName = it->step.oldName;
        if (!it->valid)
            result.reason = invalid;
        else if (folderError != 0)
            result.reason = skipReasonText(SkipReason::SourceGone);
        else {
            written = JournalUndoMark();
            const bool inMobix = result.copy && result.intoMobix;
            undoStep(folder, inMobix ? mobix : folder, inMobix ? mobixError : 0, *it, contents.startTime, beforeRename,
                     result);
            if (written.valid && !result.done && result.reason != errorText(EEXIST))
                failed = written;
        }
        // A step without outcome whose file is under neither name may have taken effect on the
        // files that are not there now: it counts as missing, which keeps the journal.
        if (taken == StepsTaken::Unknown && it->done < 0 && !result.done && result.reason.isEmpty())
            result.reason = missing;
        if (folderError != 0 || worthKeeping(result))
            kept.insert(kept.begin(), *it);
        if (result.done || !result.reason.isEmpty()) {
            FileFacts old;
            nothingThere = nothingThere && result.reason == missing && statAt(folder, it->step.oldName, false, &old) == ENOENT;
            report.results.push_back(result);
        }
    }
    closeFolder(&mobix);
    closeFolder(&folder);
    // A folder that cannot be opened, or not one of the run's files there under either name (a
    // card not inserted, a share not mounted at the folder's path): the journal stays as it is,
    // for when they are back. Rewritten now, it would lose what lies behind its lines of the
    // journal before, which a file beside it may still need to put back.
    if (folderError != 0 || (!report.results.empty() && nothingThere))
        return report;
    if (kept.empty()) {
        removeJournalBefore(path);
        file.remove();
        return report;
    }
    contents.records = std::move(kept);
    contents.undoing = failed;
    // Written over the old start with a zero byte after it, then cut there: killed in between,
    // the file holds the journal of what is left, never none.
    const QByteArray text = journalText(folderPath, contents) + '\0';
    if (!file.isWritable() || file.write(0, text.constData(), text.size()) != 0 || file.truncate(text.size() - 1) != 0)
        report.journalProblem = QStringLiteral("das Protokoll lässt sich nicht fortschreiben");
    return report;
}

QString undoProblemsText(const UndoReport &report, int maxLines)
{
    QStringList lines;
    int problems = 0;
    for (const UndoResult &result : report.results) {
        if (result.reason.isEmpty())
            continue;
        if (++problems > maxLines)
            continue;
        const QString name = result.intoMobix ? MobixFolderName + QLatin1Char('/') + result.name : result.name;
        lines << (result.copy ? name : name + QStringLiteral(" → ") + result.oldName) + QStringLiteral(": ")
                     + result.reason;
    }
    if (problems > maxLines)
        lines << QStringLiteral("… und %1 weitere").arg(problems - maxLines);
    return lines.join(QLatin1Char('\n'));
}
