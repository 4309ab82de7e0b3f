#include "journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "engine/undo.h"

namespace {

const QByteArray magic = QByteArrayLiteral("Kappwerk-Journal 2");
const QByteArray oldMagic = QByteArrayLiteral("Kappwerk-Journal 1");
constexpr int keptJournals = 20;
constexpr qint64 firstRoom = 64 * 1024;

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
constexpr int numberFields = 14;

template <typename Number>
char *putField(char *to, Number value)
{
    *to++ = '\t';
    return std::to_chars(to, to + numberRoom, value).ptr;
}

// The most bytes a step's line can take: each name byte may become three.
qint64 longestStepLine(const QByteArray &oldName, const QByteArray &newName)
{
    return 3 * (oldName.size() + newName.size()) + numberFields * (numberRoom + 1) + 8;
}

// Puts the step's line at to and returns its end.
char *putStepLine(char *to, const JournalStep &step, const QByteArray &oldName, const QByteArray &newName)
{
    *to++ = step.kind == JournalStep::Rename ? 'R' : step.intoMobix ? 'M' : 'B';
    *to++ = '\t';
    to = putEncodedName(to, oldName);
    *to++ = '\t';
    to = putEncodedName(to, newName);
    to = putField(to, step.identity.device);
    to = putField(to, step.identity.inode);
    to = putField(to, step.size);
    to = putField(to, step.modifyTime[0]);
    to = putField(to, step.modifyTime[1]);
    to = putField(to, int(step.replacesOlder));
    to = putField(to, step.birthTime[0]);
    to = putField(to, step.birthTime[1]);
    to = putField(to, step.source.identity.device);
    to = putField(to, step.source.identity.inode);
    to = putField(to, step.source.size);
    to = putField(to, step.source.modifyTime[0]);
    to = putField(to, step.source.modifyTime[1]);
    to = putField(to, step.fingerprint);
    *to++ = '\n';
    return to;
}

// A name the journal may act on: one plain name inside the folder, never a path out of it.
bool plainName(const NativeName &name)
{
    const QByteArray bytes = nameBytes(name);
    return !bytes.isEmpty() && bytes.size() <= 1024 && bytes != "." && bytes != ".." && !bytes.contains('/')
        && !bytes.contains('\0')
#ifdef Q_OS_WIN
        && !bytes.contains('\\') && !bytes.contains(':')
#endif
        ;
}

// Version 1 journals have the first nine fields; they lack what identifies a copy's original.
bool parseStep(const QByteArray &line, JournalRecord *record)
{
    const QByteArrayList fields = line.split('\t');
    if ((fields.size() != 9 && fields.size() != 17) || fields[0].size() != 1
        || !QByteArrayLiteral("RMB").contains(fields[0][0]))
        return false;
    JournalStep &step = record->step;
    const auto number = [&fields](int at) { return at < fields.size() ? fields[at].toLongLong() : 0; };
    step.kind = fields[0] == "R" ? JournalStep::Rename : JournalStep::Copy;
    step.intoMobix = fields[0] == "M";
    step.oldName = decodeName(fields[1]);
    step.newName = decodeName(fields[2]);
    step.identity = {fields[3].toULongLong(), fields[4].toULongLong()};
    step.size = number(5);
    step.modifyTime[0] = number(6);
    step.modifyTime[1] = number(7);
    step.replacesOlder = fields[8] == "1";
    step.birthTime[0] = number(9);
    step.birthTime[1] = number(10);
    step.source.identity = {quint64(number(11)), quint64(number(12))};
    step.source.size = number(13);
    step.source.modifyTime[0] = number(14);
    step.source.modifyTime[1] = number(15);
    step.fingerprint = fields.size() > 16 ? fields[16].toULongLong() : 0;
    step.sourceKnown = fields.size() == 17;
    record->valid = plainName(step.oldName) && plainName(step.newName);
    return true;
}

// The folder as the journal knows it: without links in its path, so the window and the command
// line find one journal whichever way the folder was reached.
QString journalKey(const QString &folderPath)
{
    const QString canonical = QFileInfo(folderPath).canonicalFilePath();
    if (canonical.isEmpty())
        return folderPath;
    return canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
}

QByteArray headerOf(const QString &folderPath, const qint64 startTime[2])
{
    return magic + '\t' + encodeName(encodeNativeName(journalKey(folderPath))) + '\t'
        + QByteArray::number(startTime[0]) + '\t' + QByteArray::number(startTime[1]) + '\n';
}

// Keeps the newest journals; the oldest beyond the limit go, unless a run or undo holds them.
void pruneJournals(const QString &keep)
{
    QDir folder(journalFolder());
    const QFileInfoList journals = folder.entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Time);
    for (qsizetype i = keptJournals; i < journals.size(); ++i) {
        JournalFile old;
        if (journals[i].absoluteFilePath() != keep && old.open(journals[i].absoluteFilePath(), false) == 0)
            old.remove();
    }
}

} // namespace

QString outdatedMarkerPath(const QString &journalPath)
{
    return journalPath + QStringLiteral(".outdated");
}

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

QString journalPath(const QString &folderPath)
{
    const QByteArray key = journalKey(folderPath).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex();
    return journalFolder() + QLatin1Char('/') + QString::fromLatin1(hash.left(24)) + QStringLiteral(".journal");
}

bool hasJournal(const QString &folderPath)
{
    return !folderPath.isEmpty() && journalToUndoAt(journalPath(folderPath));
}

bool journalToUndoAt(const QString &journalPath)
{
    // An empty file is one a run has just taken and not yet written to.
    const QFileInfo journal(journalPath);
    return journal.isFile() && journal.size() > 0 && !QFileInfo::exists(outdatedMarkerPath(journalPath));
}

bool parseJournal(const QByteArray &bytes, const QString &folderPath, JournalContents *contents)
{
    *contents = JournalContents();
    // A run that was killed leaves the rest of the file's reserved room as zero bytes.
    const qsizetype end = bytes.indexOf('\0');
    const QByteArrayList lines = (end >= 0 ? bytes.left(end) : bytes).split('\n');
    // The first line names the folder, so a hash that two folders share never mixes them up.
    const QByteArray key = encodeName(encodeNativeName(journalKey(folderPath)));
    const QByteArrayList header = lines.isEmpty() ? QByteArrayList() : lines[0].split('\t');
    if (header.size() < 2 || (header[0] != magic && header[0] != oldMagic) || header[1] != key)
        return false;
    if (header.size() == 4) {
        contents->startTime[0] = header[2].toLongLong();
        contents->startTime[1] = header[3].toLongLong();
    }
    std::vector<JournalRecord> &records = contents->records;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        JournalRecord record;
        if ((line == "+" || line == "-") && !records.empty()) {
            records.back().done = line == "+" ? 1 : 0;
        } else if (line == "!") {
            // The copies did not surely reach the device: none of them counts as done.
            for (JournalRecord &earlier : records) {
                if (earlier.step.kind == JournalStep::Copy && earlier.done == 1)
                    earlier.done = -1;
            }
        } else if (line.startsWith("T\t")) {
            const QByteArrayList fields = line.split('\t');
            const NativeName name = fields.size() == 3 ? decodeName(fields[2]) : NativeName();
            if (plainName(name))
                contents->temporaries.push_back({fields[1] == "1", name});
        } else if (parseStep(line, &record)) {
            records.push_back(record);
        }
    }
    return true;
}

bool parseLeftovers(const QByteArray &bytes, const QString &folderPath, JournalContents *contents)
{
    // The header, the temporary files and the last line: all a killed run can have left behind,
    // without the cost of every step of a long run.
    const qsizetype end = bytes.indexOf('\0') >= 0 ? bytes.indexOf('\0') : bytes.size();
    const QByteArrayView text(bytes.constData(), end);
    const qsizetype headerEnd = text.indexOf('\n');
    if (headerEnd < 0)
        return parseJournal(bytes.left(end), folderPath, contents);
    QByteArray reduced = bytes.left(headerEnd + 1);
    for (qsizetype at = text.indexOf("\nT\t"); at >= 0; at = text.indexOf("\nT\t", at + 1)) {
        const qsizetype lineEnd = text.indexOf('\n', at + 1);
        reduced += text.sliced(at + 1, (lineEnd < 0 ? end : lineEnd) - at - 1).toByteArray() + '\n';
    }
    qsizetype lastEnd = end;
    while (lastEnd > headerEnd && text[lastEnd - 1] == '\n')
        --lastEnd;
    const qsizetype lastStart = text.lastIndexOf('\n', lastEnd - 1) + 1;
    if (lastStart > headerEnd)
        reduced += text.sliced(lastStart, lastEnd - lastStart).toByteArray();
    return parseJournal(reduced, folderPath, contents);
}

QByteArray journalText(const QString &folderPath, const JournalContents &contents)
{
    QByteArray text = headerOf(folderPath, contents.startTime);
    for (const JournalRecord &record : contents.records) {
        const auto &oldName = nameBytes(record.step.oldName);
        const auto &newName = nameBytes(record.step.newName);
        const qsizetype at = text.size();
        text.resize(at + longestStepLine(oldName, newName));
        char *end = putStepLine(text.data() + at, record.step, oldName, newName);
        text.truncate(end - text.constData());
        if (record.done >= 0)
            text += record.done ? "+\n" : "-\n";
    }
    return text;
}

QString journalProblemText(int error)
{
    switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("kein Platz für das Protokoll");
    case EINVAL:
        return QStringLiteral("die Protokolldatei ist keine normale Datei");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("das Protokoll lässt sich nicht schreiben");
    default:
        return QStringLiteral("das Protokoll lässt sich nicht schreiben (Fehler %1: %2)")
            .arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

JournalObserver::JournalObserver(const QString &folderPath, RunObserver *next)
    : m_folderPath(folderPath)
    , m_next(next)
{
}

JournalObserver::~JournalObserver()
{
    close();
}

int JournalObserver::open()
{
    QDir().mkpath(journalFolder());
    fileSystemNow(m_startTime);
    int error = m_file.open(journalPath(m_folderPath), true);
    // The journal of the run before stays until this run has changed something; an empty file
    // that run left under a name it was taking goes now.
    if (error == 0 && m_file.readAll(&m_previous) == 0) {
        if (const qsizetype end = m_previous.indexOf('\0'); end >= 0)
            m_previous.truncate(end);
        JournalContents before;
        if (parseLeftovers(m_previous, m_folderPath, &before))
            removeWhatAKilledRunLeft(m_folderPath, before);
    }
    // The room for the first lines is taken now, so a full disk is known before anything changes.
    if (error == 0)
        error = m_file.reserve(firstRoom);
    if (error == 0) {
        m_state = State::Open;
        return 0;
    }
    m_state = State::Failed;
    if (error != EBUSY)
        m_problem = journalProblemText(error);
    return error;
}

void JournalObserver::goAheadWithout()
{
    m_state = State::Without;
    // The journal of an earlier run must not pass for this one's: it goes, or where it cannot
    // be removed (an immutable file) a marker beside it says it is outdated.
    const QString path = journalPath(m_folderPath);
    if ((!m_file.isOpen() || m_file.remove() != 0) && !QFile::remove(path) && QFileInfo::exists(path)) {
        QFile marker(outdatedMarkerPath(path));
        marker.open(QIODevice::WriteOnly);
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

bool JournalObserver::begin()
{
    m_capacity = 0;
    const QByteArray header = headerOf(m_folderPath, m_startTime);
    if (m_file.truncate(0) != 0 || !append(header.constData(), header.size(), nullptr))
        return false;
    m_state = State::Writing;
    QFile::remove(outdatedMarkerPath(journalPath(m_folderPath)));
    pruneJournals(journalPath(m_folderPath));
    return true;
}

// Whether the journal takes lines now, beginning it at the first.
bool JournalObserver::ready()
{
    // A caller that did not open the journal first gets it now; a run that cannot have it stops.
    if (m_state == State::Closed && open() != 0)
        return false;
    if (m_state == State::Open && !begin()) {
        m_state = State::Failed;
        m_problem = journalProblemText(ENOSPC);
        return false;
    }
    return m_state != State::Failed;
}

bool JournalObserver::aboutToMakeTemporary(bool intoMobix, const NativeName &name)
{
    if (!ready())
        return false;
    if (m_state == State::Writing) {
        const QByteArray line = QByteArrayLiteral("T\t") + (intoMobix ? '1' : '0') + '\t' + encodeName(name) + '\n';
        if (!append(line.constData(), line.size(), nullptr)) {
            m_problem = journalProblemText(ENOSPC);
            return false;
        }
    }
    return !m_next || m_next->aboutToMakeTemporary(intoMobix, name);
}

bool JournalObserver::aboutToPublish(const JournalStep &step)
{
    if (!ready())
        return false;
    if (m_state == State::Writing && !append(nullptr, 0, &step)) {
        // The step is never done unrecorded: the run stops here, and what it did so far stays
        // in the journal, to be taken back.
        m_problem = journalProblemText(ENOSPC);
        return false;
    }
    return !m_next || m_next->aboutToPublish(step);
}

void JournalObserver::published(const JournalStep &step, bool ok)
{
    m_pending = ok ? '+' : '-';
    m_anyDone = m_anyDone || ok;
    if (m_next)
        m_next->published(step, ok);
}

void JournalObserver::copiesUnconfirmed()
{
    if (m_state == State::Writing)
        append("!\n", 2, nullptr);
    if (m_next)
        m_next->copiesUnconfirmed();
}

bool JournalObserver::reserve(qint64 bytes)
{
    // Two bytes more stay free for the outcome of the last step, written when the run ends.
    if (m_used + bytes + 2 <= m_capacity)
        return true;
    const qint64 capacity = std::max({m_capacity * 4, m_used + bytes + 2, firstRoom});
    if (m_file.reserve(capacity) != 0)
        return false;
    m_capacity = capacity;
    return true;
}

bool JournalObserver::append(const char *text, qint64 size, const JournalStep *step)
{
    static const NativeName none;
    const auto &oldName = nameBytes(step ? step->oldName : none);
    const auto &newName = nameBytes(step ? step->newName : none);
    const qint64 room = 2 + size + (step ? longestStepLine(oldName, newName) : 0);
    if (!reserve(room))
        return false;
    if (m_line.size() < room)
        m_line.resize(room);
    char *const start = m_line.data();
    char *to = start;
    if (m_pending) {
        *to++ = m_pending;
        *to++ = '\n';
    }
    if (text) {
        std::memcpy(to, text, size_t(size));
        to += size;
    }
    if (step)
        to = putStepLine(to, *step, oldName, newName);
    if (m_file.write(m_used, start, to - start) != 0)
        return false;
    m_pending = 0;
    m_used += to - start;
    return true;
}

void JournalObserver::close()
{
    if (m_state == State::Writing) {
        if (m_pending)
            append(nullptr, 0, nullptr);
        if (m_anyDone) {
            // The file ends where the lines end; a killed run leaves zero bytes after them
            // instead, which the reader stops at.
            m_file.truncate(m_used);
        } else if (!m_previous.isEmpty()) {
            m_file.truncate(0);
            m_file.write(0, m_previous.constData(), m_previous.size());
        } else {
            m_file.remove();
        }
    } else if (m_state == State::Open) {
        // Nothing was recorded: the room taken for the first lines goes again.
        QByteArray kept;
        m_file.readAll(&kept);
        const qsizetype end = kept.indexOf('\0');
        if (kept.isEmpty() || end == 0)
            m_file.remove();
        else if (end > 0)
            m_file.truncate(end);
    }
    m_file.close();
    m_state = State::Closed;
}
