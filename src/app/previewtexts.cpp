#include "app/previewtexts.h"

#include <algorithm>

#include <QStringBuilder>

namespace {
const QString newNamePrefix = QStringLiteral("neuer Name: ");
const QString clashPrefix = QStringLiteral("\nName doppelt: auch für ");
} // namespace

PreviewProblem previewProblem(const PlannedEntry &planned, const RenameOptions &options)
{
    const bool intoMobix = copiesIntoMobix(options);
    // Renamed or copied beside onto itself, the run would find its own name taken; saying that
    // the name stays as it is tells the user why.
    if (planned.unchanged && !intoMobix && planned.problem != SkipReason::NameNotAllowed)
        return PreviewProblem::Unchanged;
    switch (planned.problem) {
    case SkipReason::None:
        return planned.doubledWith == size_t(-1) ? PreviewProblem::None : PreviewProblem::Adjusted;
    case SkipReason::NameTaken:
        return planned.clashWith != size_t(-1) ? PreviewProblem::Clash : PreviewProblem::Exists;
    case SkipReason::NameTooLong:
        return PreviewProblem::TooLong;
    case SkipReason::NameNotAllowed:
        return PreviewProblem::NotAllowed;
    default:
        return PreviewProblem::Other;
    }
}

QString problemText(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                    size_t index, PreviewProblem problem)
{
    switch (problem) {
    case PreviewProblem::None:
        return QString();
    case PreviewProblem::Clash: {
        const size_t other = plan[index].clashWith;
        return clashPrefix.mid(1) + (other < entries.size() ? entries[other].text : QString());
    }
    case PreviewProblem::Exists:
        return QStringLiteral("existiert schon");
    case PreviewProblem::NotAllowed:
        return QStringLiteral("Name nicht erlaubt");
    case PreviewProblem::TooLong:
        return QStringLiteral("Name zu lang");
    case PreviewProblem::Unchanged:
        return QStringLiteral("Name unverändert");
    case PreviewProblem::Adjusted:
        return QStringLiteral("Name angepasst: %1 doppelt")
            .arg(plan[index].doubledWith < plan.size() ? plan[plan[index].doubledWith].newName : QString());
    case PreviewProblem::Other:
        return skipReasonText(plan[index].problem);
    }
    return QString();
}

QString actionText(const RenameOptions &options)
{
    if (options.Overwrite)
        return QStringLiteral("wird umbenannt");
    if (options.Subdirectory)
        return QStringLiteral("wird nach MOBIX kopiert");
    return QStringLiteral("wird kopiert");
}

PreviewHints previewHints(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                          const RenameOptions &options)
{
    PreviewHints hints;
    const size_t count = std::min(entries.size(), plan.size());
    hints.marks.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (entries[i].selected && isSkipped(previewProblem(plan[i], options))) {
            hints.marks[i] = 1;
            ++hints.problems;
        }
    }
    return hints;
}

QString previewToolTip(const std::vector<BatchEntry> &entries, const std::vector<PlannedEntry> &plan,
                       const RenameOptions &options, size_t index)
{
    if (index >= entries.size() || index >= plan.size() || !entries[index].selected)
        return QString();
    const PlannedEntry &planned = plan[index];
    const PreviewProblem problem = previewProblem(planned, options);
    if (problem == PreviewProblem::None)
        return newNamePrefix % planned.newName;
    if (problem == PreviewProblem::Clash && planned.clashWith < entries.size())
        return newNamePrefix % planned.newName % clashPrefix % entries[planned.clashWith].text;
    return newNamePrefix % planned.newName % QLatin1Char('\n') % problemText(entries, plan, index, problem);
}
