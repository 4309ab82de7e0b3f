#include "run.h"

#include <cstring>

#include "engine/namerules.h"

float RunProgress::barValue() const
{
    if (entryCount == 0)
        return 100.0f;
    if (flushing)
        return 99.99f;
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

std::vector<QString> PlanNames(const std::vector<BatchEntry> &entries, const RenameOptions &options)
{
    const qint32 saved = NextNumber;
    NextNumber = 1;
    std::vector<QString> names(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].selected)
            names[i] = newFileName(entries[i], options);
    }
    NextNumber = saved;
    return names;
}

std::vector<PlannedEntry> PreviewRun(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                                     const QString &folderPath)
{
    Q_UNUSED(folderPath);
    const std::vector<QString> names = PlanNames(entries, options);
    std::vector<PlannedEntry> plan(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        plan[i].newName = names[i];
        plan[i].unchanged = entries[i].selected && names[i] == entries[i].text;
        if (entries[i].selected && !isPlainFileName(names[i]))
            plan[i].problem = SkipReason::NameNotAllowed;
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
