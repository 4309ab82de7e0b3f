#include "engine/cutfiles.h"

#include "engine/run.h"

namespace {
// Hands the bar values of a run to the old-style progress function.
class ProgressAdapter : public RunObserver
{
public:
    explicit ProgressAdapter(const ProgressFunction &progress) : m_progress(progress) {}
    void progress(const RunProgress &state) override
    {
        if (m_progress && state.bytesTotal == 0 && !state.flushing)
            m_progress(state.barValue());
    }

private:
    const ProgressFunction &m_progress;
};
} // namespace

void CutFiles(const std::vector<BatchEntry> &entries, const RenameOptions &options,
              const QString &folderPath, const ProgressFunction &progress)
{
    ProgressAdapter adapter(progress);
    runBatch(entries, options, folderPath, &adapter);
}
