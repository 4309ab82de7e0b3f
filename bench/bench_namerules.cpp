// The four name rules over 100,000 listed names, each alone and chained as the batch run
// chains them for one file.
#include <benchmark/benchmark.h>

#include <QStringList>

#include "engine/namerules.h"

namespace {

constexpr int nameCount = 100000;
const QString allowed = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");

const QStringList &names()
{
    static const QStringList list = [] {
        QStringList result;
        result.reserve(nameCount);
        for (int i = 1; i <= nameCount; ++i)
            result << QStringLiteral("Track %1 - Ein langer Titel über Grüße.mp3").arg(i, 5, 10, QLatin1Char('0'));
        return result;
    }();
    return list;
}

void StripExtension100k(benchmark::State &state)
{
    for (auto _ : state) {
        for (const QString &name : names())
            benchmark::DoNotOptimize(StripExtension(name));
    }
    state.SetItemsProcessed(state.iterations() * nameCount);
}

void CutFilename100k(benchmark::State &state)
{
    for (auto _ : state) {
        for (const QString &name : names())
            benchmark::DoNotOptimize(CutFilename(name, 30));
    }
    state.SetItemsProcessed(state.iterations() * nameCount);
}

void RemoveSpecial100k(benchmark::State &state)
{
    for (auto _ : state) {
        for (const QString &name : names())
            benchmark::DoNotOptimize(RemoveSpecial(name, allowed));
    }
    state.SetItemsProcessed(state.iterations() * nameCount);
}

void NumberFilename100k(benchmark::State &state)
{
    const QString pattern = QStringLiteral("%# - Dateiname");
    for (auto _ : state) {
        qint32 NextNumber = 1;
        for (int i = 0; i < nameCount; ++i)
            benchmark::DoNotOptimize(NumberFilename(pattern, NextNumber));
    }
    state.SetItemsProcessed(state.iterations() * nameCount);
}

void CutChain100k(benchmark::State &state)
{
    for (auto _ : state) {
        for (const QString &name : names())
            benchmark::DoNotOptimize(CutFilename(RemoveSpecial(StripExtension(name), allowed), 30));
    }
    state.SetItemsProcessed(state.iterations() * nameCount);
}

} // namespace

BENCHMARK(StripExtension100k)->Unit(benchmark::kMillisecond);
BENCHMARK(CutFilename100k)->Unit(benchmark::kMillisecond);
BENCHMARK(RemoveSpecial100k)->Unit(benchmark::kMillisecond);
BENCHMARK(NumberFilename100k)->Unit(benchmark::kMillisecond);
BENCHMARK(CutChain100k)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
