#include "undo.h"

#include <cerrno>

#include "engine/journal.h"
#include "engine/platformfs.h"

namespace {

const QString missing = QStringLiteral("Datei fehlt");
const QString changed = QStringLiteral("Datei wurde seither geändert oder ersetzt");

QString errorText(int error)
{
    if (error == EEXIST || error == ENOTEMPTY || error == EISDIR)
        return QStringLiteral("alter Name ist wieder vergeben");
    return skipReasonText(error == EACCES || error == EPERM || error == EROFS ? SkipReason::NoPermission
                                                                              : SkipReason::OtherError, error);
}

void undoRename(Folder &folder, const JournalRecord &record, UndoResult &result)
{
    const JournalStep &step = record.step;
    FileFacts facts;
    if (statAt(folder, step.newName, true, &facts) != 0) {
        // A rename the run never got to do leaves nothing to take back.
        if (record.done == 1)
            result.reason = missing;
        return;
    }
    if (facts.type != FileType::Regular || !(facts.identity == step.identity)) {
        result.reason = record.done == 1 ? changed : QString();
        return;
    }
    const int error = renameNoReplaceAt(folder, step.newName, folder, step.oldName);
    result.done = error == 0;
    if (error != 0)
        result.reason = errorText(error);
}

void undoCopy(Folder &target, const JournalRecord &record, UndoResult &result)
{
    const JournalStep &step = record.step;
    FileFacts facts;
    if (!target.isOpen() || statAt(target, step.newName, false, &facts) != 0) {
        if (record.done == 1)
            result.reason = missing;
        return;
    }
    // Only the copy exactly as the run left it; a changed or replaced file stays.
    if (facts.type != FileType::Regular || !(facts.identity == step.identity) || facts.size != step.size
        || facts.modifyTime[0] != step.modifyTime[0] || facts.modifyTime[1] != step.modifyTime[1]) {
        result.reason = record.done == 1 ? changed : QString();
        return;
    }
    const int error = removeAt(target, step.newName);
    result.done = error == 0;
    if (error != 0)
        result.reason = errorText(error);
    else if (step.replacesOlder)
        result.reason = QStringLiteral("die ältere Datei in MOBIX lässt sich nicht wiederherstellen");
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

UndoReport UndoLastRun(const QString &folderPath)
{
    UndoReport report;
    std::vector<JournalRecord> records;
    report.hadJournal = readJournal(folderPath, &records);
    if (!report.hadJournal)
        return report;
    Folder folder;
    Folder mobix;
    const int folderError = openFolder(encodeNativeName(folderPath), &folder);
    if (folderError == 0)
        openSubfolder(folder, encodeNativeName(QStringLiteral("MOBIX")), false, &mobix);
    // Backwards, so that a name the run freed and gave again is free when its turn comes.
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->done == 0)
            continue;
        UndoResult result;
        result.copy = it->step.kind == JournalStep::Copy;
        result.intoMobix = it->step.intoMobix;
        result.name = decodeNativeName(it->step.newName);
        result.oldName = decodeNativeName(it->step.oldName);
        if (folderError != 0)
            result.reason = skipReasonText(SkipReason::SourceGone);
        else if (!result.copy)
            undoRename(folder, *it, result);
        else
            undoCopy(result.intoMobix ? mobix : folder, *it, result);
        if (result.done || !result.reason.isEmpty())
            report.results.push_back(result);
    }
    closeFolder(&mobix);
    closeFolder(&folder);
    if (folderError == 0)
        removeJournal(folderPath);
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
        const QString name = result.intoMobix ? QStringLiteral("MOBIX/") + result.name : result.name;
        lines << (result.copy ? name : name + QStringLiteral(" → ") + result.oldName) + QStringLiteral(": ")
                     + result.reason;
    }
    if (problems > maxLines)
        lines << QStringLiteral("… und %1 weitere").arg(problems - maxLines);
    return lines.join(QLatin1Char('\n'));
}
