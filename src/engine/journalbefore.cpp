#include "journalbefore.h"

#include "engine/journalformat.h"
#include "engine/leftovers.h"

#include <QFile>

namespace {
const QByteArray magic = QByteArrayLiteral("Kappwerk-Journal-Before ");
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

void recoverJournalBefore(JournalFile &file, const QString &journalPath, const QString &folderPath)
{
    JournalFile before;
    if (before.open(journalBeforePath(journalPath), false) != 0)
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
    if ((parsed && !contents.records.empty()) || !numberOk || end <= 0 || bytes <= 0 || bytes > end) {
        before.remove();
        return;
    }
    if (parsed)
        removeWhatAKilledRunLeft(folderPath, contents);
    // As a run that ends puts it back: its overwritten start, a zero byte where it ended, then
    // the file cut there.
    if (file.isWritable() && file.write(0, kept.constData() + lineEnd + 1, bytes) == 0 && file.write(end, "", 1) == 0
        && file.truncate(end) == 0)
        before.remove();
}
