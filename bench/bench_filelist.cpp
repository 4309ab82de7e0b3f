// From a folder to a list ready to show: FillFileList, the list filled, its sideways extent
// set from the widest entry; beside it the plain enumeration of the same folder by Qt.
#include "selection/filelist.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"
#include "toolkit/textmeasure.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace {

const QString soundHeader = QStringLiteral("-----Sounddateien-----");
const QString sixSpaces(6, QLatin1Char(' '));

// One folder per size, made on first use and kept for the whole run.
QString folderWith(int count)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    auto &folder = folders[count];
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>();
        for (int i = 1; i <= count; ++i) {
            QFile file(folder->filePath(
                QStringLiteral("Track %1 - Ein langer Titel.mp3").arg(i, 5, 10, QLatin1Char('0'))));
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot create the benchmark folder");
        }
    }
    return folder->path();
}

QFont listFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    return font;
}

// Empties the system's page, directory-entry and inode caches, so that the next listing reads
// the folder from the disk. Needs root; false where that is not possible.
bool dropCaches()
{
#ifdef Q_OS_LINUX
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    return control.open(QIODevice::WriteOnly) && control.write("3\n") == 2;
#else
    return false;
#endif
}

// Every measured pass of a cold variant starts with empty caches; the emptying is not timed.
void coldStart(benchmark::State &state, bool cold)
{
    if (!cold)
        return;
    state.PauseTiming();
    if (!dropCaches())
        state.SkipWithError("dropping the caches needs root on Linux");
    state.ResumeTiming();
}

void enumerate(benchmark::State &state, bool cold)
{
    const QString folder = folderWith(int(state.range(0)));
    for (auto _ : state) {
        coldStart(state, cold);
        if (state.error_occurred())
            break;
        QStringList names;
        QDirIterator it(folder, QDir::Files);
        while (it.hasNext()) {
            it.next();
            names << it.fileName();
        }
        benchmark::DoNotOptimize(names);
    }
}
void plainEnumeration(benchmark::State &state) { enumerate(state, false); }
void plainEnumerationCold(benchmark::State &state) { enumerate(state, true); }

void readyToShow(benchmark::State &state, bool cold)
{
    const QString folder = folderWith(int(state.range(0)));
    toolkit::CheckList list;
    list.setFont(listFont());
    list.resize(400, 300);
    list.show();
    FileListData lists;
    for (auto _ : state) {
        coldStart(state, cold);
        if (state.error_occurred())
            break;
        const QString path = FillFileList(lists, soundHeader, false, folder, {});
        list.setItems(lists.entries);
        list.setHorizontalExtent(toolkit::widestTextWidth(lists.entries, list.font(), sixSpaces));
        list.doItemsLayout();
        benchmark::DoNotOptimize(path);
    }
    // Every file is listed, however many there are: no cap at a 16-bit count.
    if (!state.error_occurred() && list.count() != state.range(0))
        state.SkipWithError("not every file was listed");
    state.counters["entries"] = double(list.count());
}
void listReadyToShow(benchmark::State &state) { readyToShow(state, false); }
void listReadyToShowCold(benchmark::State &state) { readyToShow(state, true); }

void fillFileListOnly(benchmark::State &state)
{
    const QString folder = folderWith(int(state.range(0)));
    FileListData lists;
    for (auto _ : state)
        benchmark::DoNotOptimize(FillFileList(lists, soundHeader, false, folder, {}));
}

void widestEntry(benchmark::State &state)
{
    FileListData lists;
    FillFileList(lists, soundHeader, false, folderWith(int(state.range(0))), {});
    const QFont font = listFont();
    for (auto _ : state)
        benchmark::DoNotOptimize(toolkit::widestTextWidth(lists.entries, font, sixSpaces));
}

// What the widest-entry search saves: one shaping per entry.
void widestEntryShapingEvery(benchmark::State &state)
{
    FileListData lists;
    FillFileList(lists, soundHeader, false, folderWith(int(state.range(0))), {});
    const QFontMetrics metrics(listFont());
    for (auto _ : state) {
        int widest = 0;
        for (const QString &entry : lists.entries)
            widest = std::max(widest, metrics.horizontalAdvance(entry + sixSpaces));
        benchmark::DoNotOptimize(widest);
    }
}

} // namespace

BENCHMARK(plainEnumeration)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(listReadyToShow)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);
// The same after the system's caches were emptied, as on the first opening after a restart.
BENCHMARK(plainEnumerationCold)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(listReadyToShowCold)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(fillFileListOnly)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(widestEntry)->Arg(32767)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(widestEntryShapingEvery)->Arg(32767)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    toolkit::ensureTahoma();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
