#pragma once

#include <QString>

struct BatchEntry;
struct EntryResult;
struct PlannedEntry;
struct RenameOptions;

// One output line of the command line: old name, new name and outcome, separated by tabs.
// The dry run and the run both print through it, so that their lines match exactly.
QString resultLine(const BatchEntry &entry, const EntryResult &result);

// What the run would report for an entry of the preview: renamed or copied when nothing is in
// its way, otherwise skipped for the preview's reason.
EntryResult plannedResult(size_t index, const PlannedEntry &planned, const RenameOptions &options);
