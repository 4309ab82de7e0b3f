#include "journalbefore.h"

#include "engine/batchrun.h"
#include "engine/journalformat.h"
#include "engine/leftovers.h"
#include "engine/namecase.h"
#include "engine/platformfs.h"

#include <cerrno>
#include <tuple>

#include <QFile>
#include <QFileInfo>

namespace {
const QByteArray magic = QByteArrayLiteral("Kappwerk-Journal-Before ");

// Where case is ignored, a new name that differs from the old one in case alone leads to the
// file whether it was renamed or not: only the folder's listing tells which spelling it holds.
bool stillInOldCase(const Folder &folder, const JournalStep &step)
{
    if (step.kind != JournalStep::Rename || !differInCaseAlone(step.newName, step.oldName))
        return false;
    bool listed = false;
    return listsSpelling(folder, step.newName, &listed) == 0 && !listed;
}
}

QString journalBeforePath(const QString &journalPath)
{
    return journalPath + QStringLiteral(".before");
}

bool JournalBefore::keep(const QString &journalPath, qint64 end, const char *bytes, qint64 size)
{
    if (m_failed)
        return false;
    // The first line names where the journal before ended; its bytes follow.
    if (!m_file.isOpen()) {
        const QByteArray header = magic + QByteArray::number(end) + '\n';
        if (m_file.open(journalBeforePath(journalPath), true) != 0 || !m_file.isWritable() || m_file.truncate(0) != 0
            || m_file.write(0, header.constData(), header.size()) != 0) {
            remove();
            m_failed = true;
            return false;
        }
        m_used = header.size();
    }
    if (m_file.write(m_used, bytes, size) != 0) {
        // Emptied, the file is never taken for a journal's start.
        m_file.truncate(0);
        remove();
        m_failed = true;
        return false;
    }
    m_used += size;
    return true;
}

void JournalBefore::remove()
{
    if (m_file.isOpen())
        m_file.remove();
    m_file.close();
    m_used = 0;
}

void removeJournalBefore(const QString &journalPath)
{
    QFile::remove(journalBeforePath(journalPath));
}

int restoreJournalStart(JournalFile &file, const char *bytes, qint64 size, qint64 end)
{
    if (size <= 0 || size > end)
        return EINVAL;
    // A zero byte at the start first: killed before the last write, the file holds no journal
    // (a reader finds none), and the file beside it still holds the one to put back.
    for (const auto &[at, from, count] : {std::tuple<qint64, const char *, qint64>{0, "", 1}, {1, bytes + 1, size - 1},
                                          {end, "", 1}, {0, bytes, 1}}) {
        if (const int error = count > 0 ? file.write(at, from, count) : 0)
            return error;
    }
    return file.truncate(end);
}

StepsTaken journalStepsTaken(const QString &folderPath, const JournalContents &contents)
{
    Folder folder;
    Folder mobix;
    if (openFolder(encodeNativeName(folderPath), &folder) == 0)
        openSubfolder(folder, encodeNativeName(MobixFolderName), false, &mobix);
    FileFacts facts;
    StepsTaken taken = StepsTaken::None;
    for (const JournalRecord &record : contents.records) {
        if (record.done > 0) {
            taken = StepsTaken::Some;
            break;
        }
        if (record.done == 0)
            continue;
        // The last step of a killed run has no outcome: it took effect if its new name is there,
        // and, for a copy that replaces an older file, holds the copy rather than that file. It
        // did not if its file is still under the old name alone.
        const JournalStep &step = record.step;
        const Folder &in = step.kind == JournalStep::Copy && step.intoMobix ? mobix : folder;
        const int error = in.isOpen() ? statAt(in, step.newName, false, &facts) : ENOENT;
        if (error == 0 && stillInOldCase(folder, step))
            continue;
        if (error == 0 && (!step.replacesOlder || !in.identityStable || facts.identity == step.identity)) {
            taken = StepsTaken::Some;
            break;
        }
        if ((error != 0 && error != ENOENT) || !folder.isOpen() || statAt(folder, step.oldName, false, &facts) != 0)
            taken = StepsTaken::Unknown;
    }
    closeFolder(&mobix);
    closeFolder(&folder);
    return taken;
}

void recoverJournalBefore(JournalFile &file, const QString &journalPath, const QString &folderPath)
{
    // Only a folder that is there tells which of the killed run's steps took effect.
    JournalFile before;
    if (!QFileInfo(folderPath).isDir() || before.open(journalBeforePath(journalPath), false) != 0)
        return;
    QByteArray current;
    QByteArray kept;
    if (file.readAll(&current) != 0 || before.readAll(&kept) != 0)
        return; // both stay as they are
    if (const qsizetype zero = current.indexOf('\0'); zero >= 0)
        current.truncate(zero);
    JournalContents contents;
    const bool parsed = parseJournal(current, folderPath, &contents);
    const qsizetype lineEnd = kept.indexOf('\n');
    bool numberOk = false;
    const qint64 end = lineEnd > 0 && kept.startsWith(magic) ? kept.mid(magic.size(), lineEnd - magic.size()).toLongLong(&numberOk) : -1;
    const qint64 bytes = kept.size() - lineEnd - 1;
    if (parsed)
        removeWhatAKilledRunLeft(folderPath, contents); // its empty files first: they hold new names
    const StepsTaken taken = parsed ? journalStepsTaken(folderPath, contents) : StepsTaken::None;
    if (taken == StepsTaken::Unknown)
        return; // both stay until the folder's files are back
    if (taken == StepsTaken::Some || !numberOk || bytes <= 0 || bytes > end) {
        before.remove();
        return;
    }
    if (file.isWritable() && restoreJournalStart(file, kept.constData() + lineEnd + 1, bytes, end) == 0)
        before.remove();
}
