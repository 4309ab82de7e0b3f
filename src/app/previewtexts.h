#pragma once

#include <vector>

#include <QString>
#include <QStringList>

#include "engine/run.h"

// The texts and marks of the preview of a run, worked out from the engine's plan; shared by
// the file list's marks and tooltips and by the preview window.

enum class PreviewProblem {
    None,
    Clash,      // another ticked entry gets the name first
    Exists,     // a file of that name is in the way and would not be replaced
    NotAllowed, // empty, ".", "..", or a path
    TooLong,    // longer than the file system allows
    Unchanged,  // the run would leave the name as it is
    Adjusted,   // copied under a name made distinct from an earlier entry's (no problem for the run)
    Other,      // anything else the engine foresees ("MOBIX" unusable, …), in its own words
};

// What the run would do with an entry, as the user is to see it. Unchanged counts only where the
// run would do nothing: a copy into "MOBIX" under the same name is the usual case, not a problem.
PreviewProblem previewProblem(const PlannedEntry &planned, const RenameOptions &options);
// Whether the run would leave the entry out: every problem but a name made distinct.
inline bool isSkipped(PreviewProblem problem)
{
    return problem != PreviewProblem::None && problem != PreviewProblem::Adjusted;
}

// "Name doppelt: auch für Track 02.mp3", "existiert schon", "Name angepasst: Track.mp3 doppelt",
// …; "" for no problem.
QString problemText(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                    size_t index, PreviewProblem problem);

// What the run would do with a ticked entry without a problem, for the preview window's status.
QString actionText(const RenameOptions &options);

// The file list's marks: one per entry the run would leave out; unticked entries have none.
struct PreviewHints {
    std::vector<char> marks;
    int problems = 0;
};
PreviewHints previewHints(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                          const RenameOptions &options);
// The tooltip of an entry in the file list: the new name and, below it, the problem; "" for
// an unticked entry.
QString previewToolTip(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                       const RenameOptions &options, size_t index);
