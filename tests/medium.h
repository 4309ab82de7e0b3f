#pragma once

// Small file systems mounted inside a test (as root): FAT and exFAT through FUSE, tmpfs, ext4.
#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

// Runs a helper with a short timeout: "" on success, else why it failed.
inline QString runTool(const QString &tool, const QStringList &args, QByteArray *out = nullptr)
{
    const QString program = QStandardPaths::findExecutable(tool, {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
    if (program.isEmpty())
        return tool + " is not installed";
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(2000);
        return tool + " did not finish";
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return tool + " failed: " + QString::fromLocal8Bit(process.readAllStandardError().trimmed());
    if (out)
        *out = process.readAllStandardOutput().trimmed();
    return {};
}

// A small file system of the given kind and size, mounted on point until it goes; why tells what
// failed. "ext4 seconds": inodes too small for more than whole seconds in their times; "ext4
// unjournaled": nothing written ahead of the files, so the image fits on a device smaller than it.
struct Medium {
    QString point, device, why, kind, image;
    Medium(const QString &kind, const QString &dir, qint64 size = qint64(32) << 20)
        : point(dir + "/mnt"), kind(kind), image(dir + "/image")
    {
        QFile file(image);
        const QStringList ext4 = kind == "ext4 seconds"      ? QStringList{"-I", "128"}
                                 : kind == "ext4 unjournaled" ? QStringList{"-O", "^has_journal", "-E", "nodiscard"}
                                                              : QStringList{};
#ifdef _WIN32
        if (true)
            why = "no FUSE on Windows";
#else
        if (::geteuid() != 0)
            why = "mounting needs root";
#endif
        else if ((kind == "fat" || kind == "exfat") && !QFile::exists("/dev/fuse"))
            why = "no /dev/fuse";
        else if (!QDir().mkpath(point) || !file.open(QIODevice::WriteOnly) || !file.resize(size))
            why = "cannot make the image";
        else if (kind == "tmpfs")
            why = runTool("mount", {"-t", "tmpfs", "-o", "size=" + QString::number(size), "tmpfs", point});
        else if (kind.startsWith("ext4") && (why = runTool("mkfs.ext4", QStringList{"-q", "-F"} + ext4 + QStringList{image})).isEmpty())
            why = mountAgain();
        else if (kind == "fat" && (why = runTool("mkfs.vfat", {image})).isEmpty())
            why = mountAgain();
        else if (kind == "exfat" && (why = runTool("mkfs.exfat", {image})).isEmpty()) {
            QByteArray loop;
            why = runTool("losetup", {"-f", "--show", image}, &loop);
            device = QString::fromLocal8Bit(loop);
            if (why.isEmpty())
                why = mountAgain();
        }
        mounted = why.isEmpty();
        QDir(point).rmdir("lost+found"); // ext4's, which no other kind has
    }
    ~Medium()
    {
        if (mounted && !runTool("umount", {point}).isEmpty())
            runTool("umount", {"-l", point});
        if (!device.isEmpty())
            runTool("losetup", {"-d", device});
    }
    // Mounts the image (FAT and exFAT through FUSE) again, as after the card was pulled and put
    // back; a tmpfs, which keeps nothing unmounted, stays as it is.
    QString mountAgain()
    {
        if (kind == "tmpfs" || (mounted && !(why = runTool("umount", {point})).isEmpty()))
            return why;
        why = kind == "fat"     ? runTool("fusefat", {"-o", "rw+", image, point})
              : kind == "exfat" ? runTool("mount.exfat-fuse", {device, point})
                                : runTool("mount", {"-o", "loop", image, point});
        mounted = why.isEmpty();
        return why;
    }
#ifndef _WIN32
    // Ends the FUSE driver of a card (fat, exfat), as when the card is pulled: every call on the
    // medium fails from then on, until mountAgain().
    bool pull()
    {
        for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
            QFile cmdline("/proc/" + entry + "/cmdline");
            bool number = false;
            const int pid = entry.toInt(&number);
            if (number && pid > 0 && cmdline.open(QIODevice::ReadOnly)
                && cmdline.readAll().split('\0').contains(QFile::encodeName(point)))
                return ::kill(pid, SIGKILL) == 0;
        }
        return false;
    }
#endif
    bool mounted = false;
};

// Fills the file system of folder up to its last free bytes.
inline void fillUp(const QString &folder, qint64 free)
{
    QFile filler(folder + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'f')) == 4096) {}
    filler.close();
    QVERIFY(filler.resize(std::max<qint64>(0, filler.size() - free)));
}
