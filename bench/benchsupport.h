#pragma once

// What the benchmark programs share.
#include <sys/statfs.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <QDir>
#include <QFile>
#include <QString>

// The middle value, for figures taken round by round.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The name of the file system a path is on, for the head of a benchmark's output.
inline QString fileSystemOf(const QString &path)
{
    struct statfs info;
    if (::statfs(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("?");
    switch (quint32(info.f_type)) {
    case 0xEF53: return QStringLiteral("ext2/3/4");
    case 0x01021994: return QStringLiteral("tmpfs");
    case 0x58465342: return QStringLiteral("xfs");
    case 0x9123683E: return QStringLiteral("btrfs");
    default: return QStringLiteral("0x") + QString::number(quint32(info.f_type), 16);
    }
}

// Runs the program's benchmarks with their repetitions interleaved in random order, so a drift
// in the file system's state over the run (journal, writeback) falls on our code and the raw
// loop alike; a flag given on the command line still wins. The head of the output names the
// file system of TMPDIR, where the benchmarks keep their folders. Returns the exit status.
inline int runInterleavedBenchmarks(int argc, char **argv)
{
    benchmark::AddCustomContext("TMPDIR file system", fileSystemOf(QDir::tempPath()).toStdString());
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
