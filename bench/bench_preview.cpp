// The preview of a run over 32,767 listed files, as the main window recomputes it after every
// change: the entries gathered from the list, previewRun (which reads the target folder), the
// tooltips and marks, and their hand-over to the list's model. Beside it the parts alone: the
// new names, previewRun, and the window's own share.
#include "app/previewtexts.h"
#include "engine/nativename.h"
#include "engine/run.h"
#include "toolkit/checklist.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int fileCount = 32767;

// The folder and its listing, made on first use and kept for the whole run.
struct Listing {
    QTemporaryDir folder;
    QStringList entries;
    QStringList extensions;
    QList<NativeName> nativeNames;

    Listing()
    {
        for (int i = 1; i <= fileCount; ++i) {
            const QString name = QStringLiteral("Track %1 - Ein langer Titel über Grüße.mp3").arg(i, 5, 10, QLatin1Char('0'));
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot create the benchmark folder");
            entries << name;
            extensions << QStringLiteral("mp3");
            nativeNames << encodeNativeName(name);
        }
    }
    QString path() const { return folder.path() + QLatin1Char('/'); }
};

const Listing &listing()
{
    static const Listing instance;
    return instance;
}

std::vector<BatchEntry> gather(const Listing &list)
{
    std::vector<BatchEntry> entries;
    entries.reserve(size_t(list.entries.size()));
    for (qsizetype i = 0; i < list.entries.size(); ++i)
        entries.push_back(BatchEntry{list.entries.at(i), list.extensions.at(i), list.nativeNames.at(i), true});
    return entries;
}

RenameOptions options(int kind)
{
    RenameOptions options; // the defaults: cut after 30, removal, copies into MOBIX
    if (kind == 1) {
        // Every name cut to "Track 0": all but the first made distinct, each tooltip with its hint.
        options.MaxFileLength = 7;
        options.Subdirectory = false;
    } else if (kind == 2) {
        options.CutAfterLength = false;
        options.Rename = true;
        options.Overwrite = true;
    } else if (kind == 3) {
        // The umlauts spelled out ("Gruesse"), the names tidied.
        options.Transliterate = true;
    }
    return options;
}

void Preview32k(benchmark::State &state)
{
    const Listing &list = listing();
    const RenameOptions chosen = options(int(state.range(0)));
    toolkit::CheckListModel model;
    model.setTexts(list.entries);
    int problems = 0;
    for (auto _ : state) {
        const std::vector<BatchEntry> entries = gather(list);
        const std::vector<PlannedEntry> plan = previewRun(entries, chosen, list.path());
        PreviewHints hints = previewHints(entries, plan, chosen);
        problems = hints.problems;
        model.setRowHints([&](int row) { return previewToolTip(entries, plan, chosen, size_t(row)); },
                          std::move(hints.marks));
    }
    state.counters["problems"] = problems;
}

void NewNamesOnly32k(benchmark::State &state)
{
    const Listing &list = listing();
    const RenameOptions chosen = options(int(state.range(0)));
    const std::vector<BatchEntry> entries = gather(list);
    for (auto _ : state)
        benchmark::DoNotOptimize(planNames(entries, chosen));
}

// The engine's share: the plan with every name and problem, the target folder read.
void PreviewRunOnly32k(benchmark::State &state)
{
    const Listing &list = listing();
    const RenameOptions chosen = options(int(state.range(0)));
    const std::vector<BatchEntry> entries = gather(list);
    for (auto _ : state)
        benchmark::DoNotOptimize(previewRun(entries, chosen, list.path()));
}

// The window's own share: the entries gathered, the tooltips and marks made and handed over.
void HintsOnly32k(benchmark::State &state)
{
    const Listing &list = listing();
    const RenameOptions chosen = options(int(state.range(0)));
    const std::vector<PlannedEntry> plan = previewRun(gather(list), chosen, list.path());
    toolkit::CheckListModel model;
    model.setTexts(list.entries);
    for (auto _ : state) {
        const std::vector<BatchEntry> entries = gather(list);
        PreviewHints hints = previewHints(entries, plan, chosen);
        model.setRowHints([&](int row) { return previewToolTip(entries, plan, chosen, size_t(row)); },
                          std::move(hints.marks));
    }
}

} // namespace

// 0: cut after 30 into MOBIX (the defaults); 1: cut after 7 beside, every name made distinct;
// 2: numbered in place; 3: the defaults with umlauts spelled out (target: 30 ms).
BENCHMARK(Preview32k)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NewNamesOnly32k)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PreviewRunOnly32k)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HintsOnly32k)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
