// A batch run in a process of its own, for the drills that kill a run midway: runs runBatch
// with the default options on every file of a folder and says "copying" on stdout once the
// first chunk of a copy is written, then keeps each later chunk waiting a little so that the
// copy is surely under way when the signal comes.
// The run writes its journal, as the window's and the command line's do; renames in place say
// "copying" after the first file and then go slowly too.
// With "reserve" every new name is taken by an exclusive create first, as on FAT and exFAT
// through FUSE, and held a while before the rename onto it.
// Usage: runchild FOLDER inplace|beside|mobix [named|reserve]
#include <cstdio>

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include "engine/journal.h"
#include "engine/run.h"

namespace {

struct SlowObserver : RunObserver {
    bool said = false;
    void progress(const RunProgress &state) override
    {
        if (state.bytesDone == 0 && state.entriesDone == 0)
            return;
        if (!std::exchange(said, true)) {
            std::puts("copying");
            std::fflush(stdout);
        }
        QThread::msleep(state.bytesDone > 0 ? 200 : 20);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    // As the program's main() does: a signal removes the named temporary file first.
    removeTempsOnSignals();
    if (argc < 3)
        return 2;
    const QString folder = QFile::decodeName(argv[1]) + QLatin1Char('/');
    const QByteArray mode = argv[2], extra = argc > 3 ? argv[3] : "";
    setUnnamedTempsForTest(extra != "named");
    if (extra == "reserve") {
        setPublishLimitForTest(PublishLimit::NoLinks);
        setReservationPauseForTest(300);
    }
    const RenameOptions options{.Subdirectory = mode == "mobix", .Overwrite = mode == "inplace"};
    std::vector<BatchEntry> entries;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        entries.push_back({name, QFileInfo(name).suffix(), QFile::encodeName(name), true});
    SlowObserver slow;
    JournalObserver journal(folder, &slow);
    const RunReport report = runBatch(entries, options, folder, &journal);
    return report.countDone() == int(entries.size()) ? 0 : 1;
}
