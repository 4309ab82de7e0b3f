#pragma once

// What the benchmark programs share.
#include <sys/statfs.h>

#include <algorithm>
#include <vector>

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
