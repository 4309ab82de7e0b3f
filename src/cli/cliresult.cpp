#include "cli/cliresult.h"

#include "engine/batchrun.h"
#include "engine/run.h"

QString resultLine(const BatchEntry &entry, const EntryResult &result)
{
    return entry.text + QLatin1Char('\t') + result.newName + QLatin1Char('\t') + outcomeText(result);
}

EntryResult plannedResult(size_t index, const PlannedEntry &planned, const RenameOptions &options)
{
    EntryResult result;
    result.index = index;
    result.newName = planned.newName;
    result.reason = planned.problem;
    if (planned.problem == SkipReason::None)
        result.outcome = options.Overwrite ? Outcome::Renamed : Outcome::Copied;
    return result;
}
