// The batch run beside the plain system loops it stands for, in one program so the ratios
// come from one run: 10,000 renames in place against a raw no-replace rename loop, without
// and with the run's journal (as the window writes it), the three side by side; 1,000 copies of 256 KiB into MOBIX
// against a raw copy_file_range loop, timed up to the run's final flush, and the same run
// including the flush against `cp` of the same files followed by `sync -f` on MOBIX; one
// 1 GiB copy against the raw loop, up to the flush. The 1 GiB pair is slow to set up; leave
// it out with --benchmark_filter='^(Rename|Copy256K)'. Files, and the journal, live in
// temporary folders under TMPDIR (/tmp when unset), which picks the file system measured.
#include <benchmark/benchmark.h>

#include "benchsupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "engine/batchrun.h"
#include "engine/journal.h"
#include "engine/run.h"

extern char **environ;

namespace {

constexpr int renameCount = 10000;
constexpr int copyCount = 1000;
constexpr qint64 smallSize = 256 * 1024;
constexpr qint64 bigSize = qint64(1) << 30;

// One folder of files with the names a file list shows, the entries CutFiles gets for it,
// and the full native paths of each file before and after the run.
struct Batch {
    QTemporaryDir dir{QDir::tempPath() + "/kappwerk-bench-XXXXXX"};
    std::vector<BatchEntry> entries;
    std::vector<QByteArray> oldPaths;
    std::vector<QByteArray> newPaths;

    Batch(int count, qint64 size, bool intoMobix)
    {
        const QByteArray folder = QFile::encodeName(dir.path() + '/');
        const QByteArray target = intoMobix ? folder + "MOBIX/" : folder;
        QByteArray block(1 << 20, 'k');
        for (int i = 1; i <= count; ++i) {
            const QByteArray number = QByteArray::number(i).rightJustified(5, '0');
            const QByteArray name = "Track " + number + " - Ein langer Titel.mp3";
            entries.push_back({QString::fromUtf8(name), QStringLiteral("mp3"), name, true});
            oldPaths.push_back(folder + name);
            newPaths.push_back(target + "Track " + number + ".mp3");
            const int fd = ::open(oldPaths.back().constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            for (qint64 left = size; left > 0; left -= block.size())
                (void)!::write(fd, block.constData(), size_t(std::min<qint64>(left, block.size())));
            ::close(fd);
        }
        settle();
    }

    QString path() const { return dir.path() + '/'; }

    // Removes the copies and lets the file system settle, so every timed pass starts from the
    // same state instead of paying for the journal and writeback of the pass before.
    void removeCopies()
    {
        for (const QByteArray &path : newPaths)
            ::unlink(path.constData());
        settle();
    }

    void settle()
    {
        const int fd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::syncfs(fd);
        ::close(fd);
    }
};

Batch &renameBatch()
{
    static Batch batch(renameCount, 0, false);
    return batch;
}

Batch &copyBatch()
{
    static Batch batch(copyCount, smallSize, true);
    return batch;
}

Batch &bigBatch()
{
    static Batch batch(1, bigSize, true);
    return batch;
}

RenameOptions cutTo11(bool inPlace)
{
    RenameOptions options;
    options.MaxFileLength = 11; // "Track 00001"
    options.Overwrite = inPlace;
    options.Subdirectory = true;
    return options;
}

void renameAll(const std::vector<QByteArray> &from, const std::vector<QByteArray> &to)
{
    for (size_t i = 0; i < from.size(); ++i)
        ::renameat2(AT_FDCWD, from[i].constData(), AT_FDCWD, to[i].constData(), RENAME_NOREPLACE);
}

void copyAll(const Batch &batch)
{
    ::mkdir(QFile::encodeName(batch.path() + "MOBIX").constData(), 0777);
    for (size_t i = 0; i < batch.oldPaths.size(); ++i) {
        const int in = ::open(batch.oldPaths[i].constData(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(batch.newPaths[i].constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        while (::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0) > 0) {
        }
        ::close(out);
        ::close(in);
    }
}

// The three rename passes side by side: each round times the raw loop, the run and the run
// with its journal, in an order that turns from round to round, each from the same state of
// the folder. The ratios are taken within a round, so a drift of the machine's load falls on
// all three alike; the figures are the medians over the rounds.
void RenamePaired(benchmark::State &state)
{
    Batch &batch = renameBatch();
    std::vector<double> raw, run, journaled, runRatio, journalRatio;
    int round = 0;
    for (auto _ : state) {
        double times[3] = {0, 0, 0};
        for (int step = 0; step < 3; ++step) {
            const int pass = (round + step) % 3;
            QElapsedTimer clock;
            clock.start();
            if (pass == 0) {
                renameAll(batch.oldPaths, batch.newPaths);
            } else {
                JournalObserver journal(batch.path(), nullptr);
                runBatch(batch.entries, cutTo11(true), batch.path(), pass == 2 ? &journal : nullptr);
            }
            times[pass] = double(clock.nsecsElapsed()) / 1e6;
            if (::access(batch.newPaths.back().constData(), F_OK) != 0)
                state.SkipWithError("a pass renamed nothing");
            renameAll(batch.newPaths, batch.oldPaths);
            batch.settle();
        }
        ++round;
        raw.push_back(times[0]);
        run.push_back(times[1]);
        journaled.push_back(times[2]);
        runRatio.push_back(times[1] / times[0]);
        journalRatio.push_back(times[2] / times[0]);
        state.SetIterationTime((times[0] + times[1] + times[2]) / 1e3);
    }
    state.counters["raw_ms"] = median(raw);
    state.counters["run_ms"] = median(run);
    state.counters["journal_ms"] = median(journaled);
    state.counters["run_ratio"] = median(runRatio);
    state.counters["journal_ratio"] = median(journalRatio);
}

// The journal alone, as the run with its journal writes it for the same 10,000 renames, with
// nothing renamed: its start (open, lock, the room taken, the journal of the run before read),
// the 10,000 steps, and its end, each a counter in milliseconds, so a change to one part shows
// without the renames' noise. Each pass finds the journal the pass before left.
void JournalAlone(benchmark::State &state)
{
    Batch &batch = renameBatch();
    std::vector<JournalStep> steps(batch.entries.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        struct stat st;
        ::stat(batch.oldPaths[i].constData(), &st);
        steps[i].oldName = batch.entries[i].nativeName;
        steps[i].newName = batch.newPaths[i].mid(batch.newPaths[i].lastIndexOf('/') + 1);
        steps[i].identity = {quint64(st.st_dev), quint64(st.st_ino)};
    }
    std::vector<double> start, record, end;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        {
            JournalObserver journal(batch.path(), nullptr);
            if (journal.open() != 0)
                state.SkipWithError("the journal could not be opened");
            journal.prepare();
            start.push_back(double(clock.nsecsElapsed()) / 1e6);
            for (const JournalStep &step : steps) {
                journal.aboutToPublish(step);
                journal.published(step, true);
            }
            record.push_back(double(clock.nsecsElapsed()) / 1e6 - start.back());
            const qint64 before = clock.nsecsElapsed();
            journal.close();
            end.push_back(double(clock.nsecsElapsed() - before) / 1e6);
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        batch.settle();
    }
    state.counters["start_ms"] = median(start);
    state.counters["steps_ms"] = median(record);
    state.counters["end_ms"] = median(end);
}

void copyRaw(benchmark::State &state, Batch &batch)
{
    for (auto _ : state) {
        copyAll(batch);
        state.PauseTiming();
        batch.removeCopies();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * qint64(batch.entries.size()) * (&batch == &bigBatch() ? bigSize : smallSize));
}

// Notes when the run begins to flush its copies to the device.
class FlushClock : public RunObserver
{
public:
    explicit FlushClock(const QElapsedTimer &clock) : m_clock(clock) {}
    void progress(const RunProgress &state) override
    {
        if (state.flushing && m_flushStart < 0)
            m_flushStart = m_clock.nsecsElapsed();
    }
    qint64 flushStart() const { return m_flushStart; }

private:
    const QElapsedTimer &m_clock;
    qint64 m_flushStart = -1;
};

qint64 batchBytes(const Batch &batch)
{
    return qint64(batch.entries.size()) * (&batch == &bigBatch() ? bigSize : smallSize);
}

// The run's copies, timed up to the start of its final flush (the raw loop does not flush)
// or, with flushed set, including it.
void copyRun(benchmark::State &state, Batch &batch, bool flushed)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        FlushClock observer(clock);
        clock.start();
        runBatch(batch.entries, cutTo11(false), batch.path(), &observer);
        const qint64 end = clock.nsecsElapsed();
        state.SetIterationTime(double(flushed || observer.flushStart() < 0 ? end : observer.flushStart()) / 1e9);
        struct stat st;
        if (::stat(batch.newPaths.back().constData(), &st) != 0 || st.st_size == 0)
            state.SkipWithError("the run copied nothing");
        batch.removeCopies();
    }
    state.SetBytesProcessed(state.iterations() * batchBytes(batch));
}

int spawnAndWait(std::vector<QByteArray> &args)
{
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// `cp` of the same files into MOBIX (keeping mode and times, as the run does), then
// `sync -f` on MOBIX.
void Copy256KCpSync(benchmark::State &state)
{
    Batch &batch = copyBatch();
    const QByteArray mobix = QFile::encodeName(batch.path() + "MOBIX");
    ::mkdir(mobix.constData(), 0777);
    std::vector<QByteArray> cp = {"cp", "--preserve=mode,timestamps", "-t", mobix};
    cp.insert(cp.end(), batch.oldPaths.begin(), batch.oldPaths.end());
    std::vector<QByteArray> sync = {"sync", "-f", mobix};
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const bool ok = spawnAndWait(cp) == 0 && spawnAndWait(sync) == 0;
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (!ok)
            state.SkipWithError("cp or sync failed");
        for (const QByteArray &path : batch.oldPaths)
            ::unlink((mobix + path.mid(path.lastIndexOf('/'))).constData());
        batch.settle();
    }
    state.SetBytesProcessed(state.iterations() * batchBytes(batch));
}

// The rename run with its journal, written before each rename as the window's run does.
void Copy256KRaw(benchmark::State &state) { copyRaw(state, copyBatch()); }
void Copy256KRun(benchmark::State &state) { copyRun(state, copyBatch(), false); }
void Copy256KRunFlushed(benchmark::State &state) { copyRun(state, copyBatch(), true); }
void Copy1GiBRaw(benchmark::State &state) { copyRaw(state, bigBatch()); }
void Copy1GiBRun(benchmark::State &state) { copyRun(state, bigBatch(), false); }

} // namespace

BENCHMARK(RenamePaired)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(61);
BENCHMARK(JournalAlone)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(31);
BENCHMARK(Copy256KRaw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(Copy256KRun)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(Copy256KRunFlushed)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(Copy256KCpSync)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(Copy1GiBRaw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(Copy1GiBRun)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    // The journal goes to a temporary folder on the file system measured, not the real home.
    QTemporaryDir journals(QDir::tempPath() + "/kappwerk-bench-state-XXXXXX");
    qputenv("XDG_STATE_HOME", QFile::encodeName(journals.path()));
    return runInterleavedBenchmarks(argc, argv);
}
