// Copies on Windows: hidden temporary files, the data in chunks, and publishing under the new name.
#include "platformfs.h"

#include <qt_windows.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <memory>
#include <vector>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <QRandomGenerator>

#include "engine/platformseams.h"
#include "engine/platformwin.h"

using namespace platformwin;

namespace {

constexpr qint64 copyChunk = qint64(16) << 20;
constexpr DWORD bufferSize = DWORD(1) << 20;
const QString tempPrefix = QStringLiteral(".kappwerk-");
const QString tempSuffix = QStringLiteral(".tmp");

wchar_t signalTempPath[32768];
std::atomic<bool> signalTempSet{false};

QString tempName()
{
    return tempPrefix + QString::number(GetCurrentProcessId()) + QLatin1Char('-')
        + QString::number(QRandomGenerator::global()->generate64(), 36) + tempSuffix;
}

void removeTempAndEnd(int signalNumber)
{
    // The file is still open for the copy (shared for deleting): it goes once the process has
    // ended. A read-only copy's mark goes first, its hidden mark stays.
    if (signalTempSet.exchange(false) && !DeleteFileW(signalTempPath)) {
        const DWORD attributes = GetFileAttributesW(signalTempPath);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)
            && SetFileAttributesW(signalTempPath, attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
            DeleteFileW(signalTempPath);
    }
    // As a shell reports a program ended by a signal; the C runtime's own end would say 3, which
    // the command line gives to lost output.
    std::_Exit(128 + signalNumber);
}

void setSignalTemp(const QString &path)
{
    signalTempSet.store(false);
    if (path.size() < qsizetype(std::size(signalTempPath))) {
        path.toWCharArray(signalTempPath);
        signalTempPath[path.size()] = 0;
        signalTempSet.store(true);
    }
}

} // namespace

int createTempAt(Folder &folder, TempFile *temp)
{
    *temp = TempFile();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = tempName();
        if (folder.beforeTemporary && !folder.beforeTemporary(name))
            return ECANCELED;
        setSignalTemp(folder.path + name);
        // Shared for deleting only, so that a signal's handler can remove it while it is written.
        const HANDLE file = CreateFileW(wide(folder.path + name), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            temp->handle = reinterpret_cast<FileHandle>(file);
            temp->name = name;
            return 0;
        }
        const int error = lastError();
        signalTempSet.store(false);
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

int copyFileData(FileHandle from, FileHandle to, qint64 expectedSize, const std::function<bool(qint64)> &between)
{
    Q_UNUSED(expectedSize);
    const PlatformSeams &seams = platformSeams();
    const qint64 chunk = seams.copyChunk > 0 ? seams.copyChunk : copyChunk;
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    qint64 copied = 0;
    qint64 inChunk = 0;
    // Never more than a chunk at once, so that progress and a cancel come between chunks.
    const DWORD readSize = DWORD(std::min<qint64>(bufferSize, chunk));
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handleOf(from), buffer.get(), readSize, &got, nullptr))
            return lastError();
        if (got == 0)
            return 0;
        for (DWORD done = 0; done < got;) {
            DWORD want = got - done;
            const qint64 written = copied + done;
            if (seams.writeError != 0 && written + want > seams.writeErrorAfter) {
                if (written >= seams.writeErrorAfter)
                    return seams.writeError;
                want = DWORD(seams.writeErrorAfter - written);
            }
            DWORD put = 0;
            if (!WriteFile(handleOf(to), buffer.get() + done, want, &put, nullptr))
                return lastError();
            if (put == 0)
                return ENOSPC;
            done += put;
        }
        if (const int error = countCopied(got, chunk, &copied, &inChunk, between))
            return error;
    }
}

void applyFileFacts(FileHandle file, const FileFacts &facts)
{
    FILE_BASIC_INFO info = {};
    info.LastAccessTime.QuadPart = facts.accessTime[0];
    info.LastWriteTime.QuadPart = facts.modifyTime[0];
    // The temporary file stays hidden until it has its name (publishTemp).
    info.FileAttributes = (facts.permissions & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE)) | FILE_ATTRIBUTE_HIDDEN;
    SetFileInformationByHandle(handleOf(file), FileBasicInfo, &info, sizeof info);
}

int fileFacts(FileHandle file, FileFacts *facts)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handleOf(file), &info))
        return lastError();
    factsFrom(info, facts);
    return 0;
}

int checkWritten(const Folder &folder, FileHandle file)
{
    Q_UNUSED(folder);
    if (platformSeams().checkError != 0)
        return platformSeams().checkError;
    // The copy is on the device before it gets its name.
    return FlushFileBuffers(handleOf(file)) ? 0 : lastError();
}

int publishTemp(Folder &folder, TempFile *temp, const NativeName &target, const FileFacts *older)
{
    if (platformSeams().beforePublish)
        platformSeams().beforePublish(folder.path + target);
    int error = CloseHandle(handleOf(temp->handle)) ? 0 : lastError();
    const QString from = folder.path + temp->name;
    // The older file is replaced only while the name still holds it unchanged; Windows has no
    // swap of two names, so the name is looked at just before.
    DWORD flags = 0;
    if (error == 0 && older) {
        FileFacts now;
        const int seen = statAt(folder, target, false, &now);
        if (seen == 0 && !sameUnchangedFile(*older, now))
            error = EEXIST;
        else if (seen == 0)
            flags = MOVEFILE_REPLACE_EXISTING;
        else if (seen != ENOENT)
            error = seen;
    }
    // A read-only older file is replaced only by a copy that is read-only too (of a photo
    // protected in the camera, as that older copy was); one the user protected stays.
    const QString to = folder.path + target;
    const DWORD own = GetFileAttributesW(wide(from));
    const bool readOnly = own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_READONLY);
    if (error == 0 && !(flags && readOnly ? replaceFile(from, to) : MoveFileExW(wide(from), wide(to), flags)))
        error = lastError();
    if (error == 0) {
        // The copy loses the hidden mark of its temporary name.
        const DWORD attributes = GetFileAttributesW(wide(to));
        if (attributes != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesW(wide(to), attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN));
    } else
        deleteFile(from);
    signalTempSet.store(false);
    *temp = TempFile();
    return error;
}

void discardTemp(const Folder &folder, TempFile *temp)
{
    if (temp->handle != noFileHandle)
        CloseHandle(handleOf(temp->handle));
    if (!temp->name.isEmpty())
        deleteFile(folder.path + temp->name);
    signalTempSet.store(false);
    *temp = TempFile();
}

int closeFile(FileHandle file)
{
    return CloseHandle(handleOf(file)) ? 0 : lastError();
}

bool isTemporaryName(const QString &name)
{
    return name.startsWith(tempPrefix);
}

bool isStaleTemporary(const NativeName &name)
{
    if (!name.startsWith(tempPrefix) || !name.endsWith(tempSuffix))
        return false;
    bool ok = false;
    const DWORD pid = name.mid(tempPrefix.size()).section(QLatin1Char('-'), 0, 0).toULong(&ok);
    if (!ok)
        return false;
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process) {
        CloseHandle(process);
        return false;
    }
    return GetLastError() == ERROR_INVALID_PARAMETER;
}

void listNamesButTemporaries(const Folder &folder, const std::function<void(const ListedName &)> &take)
{
    listNames(folder, [&](const ListedName &listed) {
        if (!listed.name.startsWith(tempPrefix))
            take(listed);
    });
}

void removeTempsOnSignals()
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGBREAK})
        std::signal(signalNumber, removeTempAndEnd);
}
