#include "journal.h"

#include <algorithm>
#include <cstring>
#include <charconv>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QByteArray magic = QByteArrayLiteral("Kappwerk-Journal 1");
constexpr int keptJournals = 20;

QByteArray encodeName(const NativeName &name)
{
#ifdef Q_OS_WIN
    return name.toUtf8().toPercentEncoding();
#else
    return name.toPercentEncoding();
#endif
}

NativeName decodeName(const QByteArray &text)
{
#ifdef Q_OS_WIN
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
#else
    return QByteArray::fromPercentEncoding(text);
#endif
}

#ifdef Q_OS_WIN
QByteArray nameBytes(const NativeName &name)
{
    return name.toUtf8();
}
#else
const QByteArray &nameBytes(const NativeName &name)
{
    return name;
}
#endif

// Puts the name as QByteArray::toPercentEncoding() gives it: the unreserved characters
// (letters, digits, "-", ".", "_", "~") as they are, every other byte as "%XX".
char *putEncodedName(char *to, const QByteArray &bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '.'
            || u == '_' || u == '~') {
            *to++ = c;
        } else {
            *to++ = '%';
            *to++ = hex[u >> 4];
            *to++ = hex[u & 15];
        }
    }
    return to;
}

constexpr int numberRoom = 24;

template <typename Number>
char *putNumber(char *to, Number value)
{
    return std::to_chars(to, to + numberRoom, value).ptr;
}

// The most bytes a step's line can take: each name byte may become three.
qint64 longestStepLine(const QByteArray &oldName, const QByteArray &newName)
{
    return 3 * (oldName.size() + newName.size()) + 5 * numberRoom + 16;
}

// Puts the step's line at to and returns its end.
char *putStepLine(char *to, const JournalStep &step, const QByteArray &oldName, const QByteArray &newName)
{
    *to++ = step.kind == JournalStep::Rename ? 'R' : step.intoMobix ? 'M' : 'B';
    *to++ = '\t';
    to = putEncodedName(to, oldName);
    *to++ = '\t';
    to = putEncodedName(to, newName);
    *to++ = '\t';
    to = putNumber(to, step.identity.device);
    *to++ = '\t';
    to = putNumber(to, step.identity.inode);
    *to++ = '\t';
    to = putNumber(to, step.size);
    *to++ = '\t';
    to = putNumber(to, step.modifyTime[0]);
    *to++ = '\t';
    to = putNumber(to, step.modifyTime[1]);
    *to++ = '\t';
    *to++ = step.replacesOlder ? '1' : '0';
    *to++ = '\n';
    return to;
}

bool parseStep(const QByteArray &line, JournalStep *step)
{
    const QByteArrayList fields = line.split('\t');
    if (fields.size() != 9 || fields[0].size() != 1 || !QByteArrayLiteral("RMB").contains(fields[0][0]))
        return false;
    step->kind = fields[0] == "R" ? JournalStep::Rename : JournalStep::Copy;
    step->intoMobix = fields[0] == "M";
    step->oldName = decodeName(fields[1]);
    step->newName = decodeName(fields[2]);
    step->identity = {fields[3].toULongLong(), fields[4].toULongLong()};
    step->size = fields[5].toLongLong();
    step->modifyTime[0] = fields[6].toLongLong();
    step->modifyTime[1] = fields[7].toLongLong();
    step->replacesOlder = fields[8] == "1";
    return !step->oldName.isEmpty() && !step->newName.isEmpty();
}

// Keeps the newest journals; the oldest beyond the limit go.
void pruneJournals(const QString &keep)
{
    QDir folder(journalFolder());
    const QFileInfoList journals = folder.entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Time);
    for (qsizetype i = keptJournals; i < journals.size(); ++i) {
        if (journals[i].absoluteFilePath() != keep)
            QFile::remove(journals[i].absoluteFilePath());
    }
}

} // namespace

QString journalFolder()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kappwerk");
#else
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Kappwerk");
#endif
}

// The folder as the journal knows it: without links in its path, so the window and the command
// line find one journal whichever way the folder was reached.
static QString journalKey(const QString &folderPath)
{
    const QString canonical = QFileInfo(folderPath).canonicalFilePath();
    if (canonical.isEmpty())
        return folderPath;
    return canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
}

QString journalPath(const QString &folderPath)
{
    const QByteArray key = journalKey(folderPath).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex();
    return journalFolder() + QLatin1Char('/') + QString::fromLatin1(hash.left(24)) + QStringLiteral(".journal");
}

bool hasJournal(const QString &folderPath)
{
    return !folderPath.isEmpty() && QFileInfo::exists(journalPath(folderPath));
}

bool readJournal(const QString &folderPath, std::vector<JournalRecord> *records)
{
    records->clear();
    QFile file(journalPath(folderPath));
    if (folderPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    QByteArray text = file.readAll();
    // A run that was killed leaves the rest of the file's reserved room as zero bytes.
    if (const qsizetype end = text.indexOf('\0'); end >= 0)
        text.truncate(end);
    const QByteArrayList lines = text.split('\n');
    // The first line names the folder, so a hash that two folders share never mixes them up.
    if (lines.isEmpty() || lines[0] != magic + '\t' + encodeName(encodeNativeName(journalKey(folderPath))))
        return false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        JournalStep step;
        if ((line == "+" || line == "-") && !records->empty())
            records->back().done = line == "+" ? 1 : 0;
        else if (parseStep(line, &step))
            records->push_back({step, -1});
    }
    return true;
}

void removeJournal(const QString &folderPath)
{
    QFile::remove(journalPath(folderPath));
}

JournalObserver::JournalObserver(const QString &folderPath, RunObserver *next)
    : m_folderPath(folderPath)
    , m_next(next)
{
}

JournalObserver::~JournalObserver()
{
    if (m_pending)
        write(nullptr);
    // The file ends where the lines end; a killed run leaves zero bytes after them instead,
    // which the reader stops at.
    if (m_map) {
        m_file.unmap(m_map);
        m_file.resize(m_used);
    }
}

void JournalObserver::progress(const RunProgress &state)
{
    if (m_next)
        m_next->progress(state);
}

bool JournalObserver::cancelRequested()
{
    return m_next && m_next->cancelRequested();
}

void JournalObserver::aboutToPublish(const JournalStep &step)
{
    if (!m_file.isOpen() && !m_failed) {
        // A new run in the folder replaces the journal of the one before.
        QDir().mkpath(journalFolder());
        m_file.setFileName(journalPath(m_folderPath));
        m_failed = !m_file.open(QIODevice::ReadWrite | QIODevice::Truncate) || !reserve(64 * 1024);
        if (!m_failed) {
            const QByteArray header = magic + '\t' + encodeName(encodeNativeName(journalKey(m_folderPath))) + '\n';
            write(&header);
            pruneJournals(m_file.fileName());
        }
    }
    // Each operation's line is stored before it happens; the outcome of the one before goes
    // with it.
    write(nullptr, &step);
    if (m_next)
        m_next->aboutToPublish(step);
}

void JournalObserver::published(const JournalStep &step, bool ok)
{
    m_pending = ok ? '+' : '-';
    if (m_next)
        m_next->published(step, ok);
}

bool JournalObserver::reserve(qint64 bytes)
{
    if (m_used + bytes <= m_capacity)
        return true;
    if (m_map)
        m_file.unmap(m_map);
    m_capacity = std::max(m_capacity * 4, m_used + bytes);
    // size() makes QFile look at the grown file; with the size it saw before, it would warn on
    // stderr that the mapping reaches beyond the file.
    m_map = m_file.resize(m_capacity) && m_file.size() == m_capacity ? m_file.map(0, m_capacity) : nullptr;
    return m_map != nullptr;
}

void JournalObserver::write(const QByteArray *text, const JournalStep *step)
{
    if (m_failed || !m_map)
        return;
    // The line goes straight into the mapped file: no copy, no allocation per operation.
    static const NativeName none;
    const auto &oldName = nameBytes(step ? step->oldName : none);
    const auto &newName = nameBytes(step ? step->newName : none);
    const qint64 room = 2 + (text ? text->size() : 0) + (step ? longestStepLine(oldName, newName) : 0);
    if (!reserve(room)) {
        m_failed = true;
        return;
    }
    char *const start = reinterpret_cast<char *>(m_map) + m_used;
    char *to = start;
    if (m_pending) {
        *to++ = m_pending;
        *to++ = '\n';
        m_pending = 0;
    }
    if (text) {
        std::memcpy(to, text->constData(), size_t(text->size()));
        to += text->size();
    }
    if (step)
        to = putStepLine(to, *step, oldName, newName);
    m_used += to - start;
}
