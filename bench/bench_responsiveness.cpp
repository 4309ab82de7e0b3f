// How long the real main window's user-interface thread goes without processing events while
// it works: a 1 ms timer on that thread records the largest gap between two of its ticks.
// Two cases: a run that copies one 2 GiB file into MOBIX (the copy and the final flush), and
// the listing of a folder of 100,000 files by the "Ordner öffnen" button; beside the listing,
// the same listing done on the user-interface thread in one go (the list filled and its
// sideways extent set, as the window did before it read folders on a worker) and
// FillFileList alone. The folders live under TMPDIR (/tmp when unset), which picks the file
// system measured; the window's settings and run journal go to temporary folders there too.
// The 2 GiB case needs 4 GiB free.
#include "app/mainwindow.h"
#include "selection/filelist.h"
#include "selection/folderpicker.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"
#include "toolkit/messagebox.h"
#include "toolkit/textmeasure.h"

#include <benchmark/benchmark.h>

#include "benchsupport.h"

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr qint64 bigSize = qint64(2) << 30;
const QString bigName = QStringLiteral("Hörbuch - Der Zauberberg (ungekürzte Lesung).mp3");
const QString soundHeader = QStringLiteral("-----Sounddateien-----");

// Records the largest gap between the ticks of a 1 ms timer on the calling thread.
class GapMeter
{
public:
    GapMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_largest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    // Stops the meter; the time since the last tick counts as a gap too.
    double stopMs()
    {
        tick();
        m_timer.stop();
        return double(m_largest) / 1e6;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_largest = std::max(m_largest, now - m_last);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_largest = 0;
};

// The CPU time of the whole process, all threads, in milliseconds: on a busy machine the
// wall time of a hand-off between threads includes waiting for a free core.
double processCpuMs()
{
    struct timespec now;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Lets the window handle what its work left queued (layout, painting) with the meter running.
void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::syncfs(fd);
    ::close(fd);
}

// The real main window with its own settings file, shown on the offscreen screen.
struct Window {
    QTemporaryDir settingsDir{QDir::tempPath() + "/kappwerk-bench-settings-XXXXXX"};
    QSettings settings{settingsDir.filePath(QStringLiteral("Kappwerk.conf")), QSettings::IniFormat};
    Main main{settings};

    QStringList messages; // every message box, answered at once so that none blocks a benchmark

    Window()
    {
        toolkit::setMessageAnswerer([this](const toolkit::MessageRecord &box) {
            messages << box.text;
            return int(toolkit::ResultNo);
        });
        main.show();
        settle(50);
    }
    ~Window() { toolkit::setMessageAnswerer({}); }
    template <typename T = QPushButton> T *child(const char *name) { return main.findChild<T *>(name); }

    // Clicks the button and returns once the window has sent the signal, handling events meanwhile.
    template <typename Signal>
    void clickAndWait(const char *button, Signal signal)
    {
        bool done = false;
        const QMetaObject::Connection connection = QObject::connect(&main, signal, [&done] { done = true; });
        child(button)->click();
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QObject::disconnect(connection);
    }

    void open(const QString &folder)
    {
        setFolderChooser([folder](const BrowseRequest &) { return folder; });
        clickAndWait("Open", &Main::listed);
        setFolderChooser({});
    }
};

// The window and the folders, made on first use and removed before the application ends.
std::unique_ptr<Window> theWindow;
std::unique_ptr<QTemporaryDir> theBigFolder;
std::map<int, std::unique_ptr<QTemporaryDir>> folders;

Window &window()
{
    if (!theWindow)
        theWindow = std::make_unique<Window>();
    return *theWindow;
}

QString bigFolder()
{
    if (!theBigFolder) {
        theBigFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/kappwerk-bench-XXXXXX");
        QTemporaryDir &dir = *theBigFolder;
        QFile file(dir.filePath(bigName));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot create the 2 GiB file");
        QByteArray block(1 << 20, 'k');
        for (qint64 left = bigSize; left > 0; left -= block.size())
            file.write(block);
        file.close();
        syncFolder(dir.path());
    }
    return theBigFolder->path();
}

QString folderWith(int count)
{
    auto &folder = folders[count];
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/kappwerk-bench-XXXXXX");
        for (int i = 1; i <= count; ++i) {
            QFile file(folder->filePath(
                QStringLiteral("Track %1 - Ein langer Titel.mp3").arg(i, 6, 10, QLatin1Char('0'))));
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot create the benchmark folder");
        }
        syncFolder(folder->path());
    }
    return folder->path();
}

// Open the folder, tick all, press "Dateinamen ändern"; timed from the press to the end of the
// run and the refill after it.
void CopyBigFileWindow(benchmark::State &state)
{
    Window &w = window();
    const QString folder = bigFolder();
    const QDir mobix(folder + QStringLiteral("/MOBIX"));
    double largest = 0;
    // Copies into MOBIX, whatever a listing benchmark before left ticked.
    w.child<QCheckBox>("Overwrite")->setChecked(false);
    w.child<QCheckBox>("Subdirectory")->setChecked(true);
    w.messages.clear();
    for (auto _ : state) {
        w.open(folder);
        w.child("AllFiles")->click();
        GapMeter meter;
        meter.start();
        QElapsedTimer clock;
        clock.start();
        w.clickAndWait("Cut", &Main::runFinished);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        settle(100);
        largest = std::max(largest, meter.stopMs());
        const QFileInfoList copies = mobix.entryInfoList(QDir::Files | QDir::Hidden);
        if (copies.size() != 1 || copies.front().size() != bigSize || !w.messages.isEmpty())
            state.SkipWithError(qPrintable("the run did not copy the file " + w.messages.join(' ')));
        for (const QFileInfo &copy : copies)
            QFile::remove(copy.absoluteFilePath());
        syncFolder(folder);
    }
    state.counters["max_gap_ms"] = largest;
}

// Times each listing from its start to the list shown, with the process's CPU time, and with
// the second argument set the window's longest pause meanwhile.
void timeListings(benchmark::State &state, const std::function<void()> &list, double &largest, double &cpu)
{
    for (auto _ : state) {
        GapMeter meter;
        if (state.range(1))
            meter.start();
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = processCpuMs();
        list();
        QCoreApplication::processEvents();
        cpu += processCpuMs() - cpuStart;
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (state.range(1)) {
            settle(100);
            largest = std::max(largest, meter.stopMs());
        }
    }
}

// The second argument runs the 1 ms timer: its wake-ups cost the worker time on a busy
// machine, so the listing's time is taken from the runs without it. The third ticks
// "orginal Dateien ersetzen": renaming in place, the listing reads the names the preview
// checks new names against too.
void ListFolderWindow(benchmark::State &state)
{
    Window &w = window();
    const QString folder = folderWith(int(state.range(0)));
    auto *list = w.child<toolkit::CheckList>("FileList");
    w.child<QCheckBox>("Overwrite")->setChecked(state.range(2) != 0);
    double largest = 0;
    double cpu = 0;
    timeListings(state, [&] { w.open(folder); }, largest, cpu);
    if (list->count() != state.range(0))
        state.SkipWithError("not every file was listed");
    // The extent measured on the worker is the one the user-interface thread measures.
    if (list->horizontalExtent() != toolkit::widestTextWidth(list->texts(), list->font(), QStringLiteral("      ")))
        state.SkipWithError("the list's extent differs");
    if (state.range(1))
        state.counters["max_gap_ms"] = largest;
    state.counters["process_cpu_ms"] = cpu / double(state.iterations());
}

// The listing as the window did it before, all on the user-interface thread: the same list
// widget cleared, filled and its sideways extent set. files holds the lists shown, freed when
// the next listing begins.
void listInOneGo(toolkit::CheckList &list, FileListData &files, const QString &folder)
{
    list.clear();
    files.clear();
    FillFileList(files, soundHeader, false, folder + '/', {});
    list.setItems(files.entries);
    list.setHorizontalExtent(toolkit::widestTextWidth(list.texts(), list.font(), QStringLiteral("      ")));
}

void ListFolderInOneGo(benchmark::State &state)
{
    Window &w = window();
    const QString folder = folderWith(int(state.range(0)));
    auto *list = w.child<toolkit::CheckList>("FileList");
    double largest = 0;
    FileListData files;
    double cpu = 0;
    timeListings(state, [&] { listInOneGo(*list, files, folder); }, largest, cpu);
    if (list->count() != state.range(0))
        state.SkipWithError("not every file was listed");
    if (state.range(1))
        state.counters["max_gap_ms"] = largest;
    state.counters["process_cpu_ms"] = cpu / double(state.iterations());
}

// The window's listing and the listing in one go side by side: each round lists the folder
// both ways, in an order that turns from round to round, and takes the ratio of the two, so a
// change in the machine's load falls on both alike; the figures are the medians. The second
// argument renames in place, where the window also reads the names the preview checks.
void ListPaired(benchmark::State &state)
{
    Window &w = window();
    const QString folder = folderWith(int(state.range(0)));
    auto *list = w.child<toolkit::CheckList>("FileList");
    w.child<QCheckBox>("Overwrite")->setChecked(state.range(1) != 0);
    FileListData files;
    std::vector<double> inWindow, inOneGo, ratios;
    int round = 0;
    for (auto _ : state) {
        double times[2] = {0, 0};
        for (int step = 0; step < 2; ++step) {
            const int way = (round + step) % 2;
            QElapsedTimer clock;
            clock.start();
            if (way == 0)
                w.open(folder);
            else
                listInOneGo(*list, files, folder);
            QCoreApplication::processEvents();
            times[way] = double(clock.nsecsElapsed()) / 1e6;
            if (list->count() != state.range(0))
                state.SkipWithError("not every file was listed");
        }
        ++round;
        inWindow.push_back(times[0]);
        inOneGo.push_back(times[1]);
        ratios.push_back(times[0] / times[1]);
        state.SetIterationTime((times[0] + times[1]) / 1e3);
    }
    state.counters["window_ms"] = median(inWindow);
    state.counters["one_go_ms"] = median(inOneGo);
    state.counters["ratio"] = median(ratios);
}

void FillFileListOnly(benchmark::State &state)
{
    const QString folder = folderWith(int(state.range(0)));
    double cpu = 0;
    for (auto _ : state) {
        FileListData files;
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = processCpuMs();
        benchmark::DoNotOptimize(FillFileList(files, soundHeader, false, folder + '/', {}));
        cpu += processCpuMs() - cpuStart;
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["process_cpu_ms"] = cpu / double(state.iterations());
}

} // namespace

BENCHMARK(CopyBigFileWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(ListFolderWindow)->Args({100000, 0, 0})->Args({100000, 1, 0})->Args({100000, 0, 1})->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(11)->ReportAggregatesOnly(true);
BENCHMARK(ListFolderInOneGo)->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(11)->ReportAggregatesOnly(true);
BENCHMARK(ListPaired)->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(21);
BENCHMARK(FillFileListOnly)->Arg(100000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(11)->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's run writes its journal; it goes to a temporary folder, not the real home.
    QTemporaryDir state(QDir::tempPath() + "/kappwerk-bench-state-XXXXXX");
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    QApplication app(argc, argv);
    toolkit::ensureTahoma();
    const int status = runInterleavedBenchmarks(argc, argv);
    theWindow.reset();
    theBigFolder.reset();
    folders.clear();
    return status;
}
