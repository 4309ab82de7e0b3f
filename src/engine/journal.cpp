#include "journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFileInfo>

#include "engine/leftovers.h"

namespace {

constexpr int keptJournals = 20;
constexpr qint64 firstRoom = 64 * 1024;

// Keeps the newest journals; the oldest beyond the limit go, unless a run or undo holds them.
void pruneJournals(const QString &keep)
{
    QDir folder(journalFolder());
    const QFileInfoList journals = folder.entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Time);
    for (qsizetype i = keptJournals; i < journals.size(); ++i) {
        JournalFile old;
        if (journals[i].absoluteFilePath() != keep && old.open(journals[i].absoluteFilePath(), false) == 0) {
            removeJournalBefore(journals[i].absoluteFilePath());
            old.remove();
        }
    }
}

} // namespace

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

JournalObserver::JournalObserver(const QString &folderPath, RunObserver *next, const QString &knownJournalPath)
    : m_folderPath(folderPath)
    , m_journalPath(knownJournalPath.isEmpty() ? journalPath(folderPath) : knownJournalPath)
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
    int error = m_file.open(m_journalPath, true);
    // A file beside a journal that was not there is left from one removed without it.
    if (error == 0 && m_file.size() == 0)
        removeJournalBefore(m_journalPath);
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

int JournalObserver::prepare()
{
    if (m_prepared || m_state != State::Open)
        return m_readError;
    m_prepared = true;
    recoverJournalBefore(m_file, m_journalPath, m_folderPath);
    // An empty file the run before left under a name it was taking goes now. The journal is
    // read a block at a time up to its end (its first zero byte): a long run's journal holds
    // megabytes of steps, of which only the temporary files and the last line matter here.
    const qint64 size = m_file.size();
    if (size <= 0)
        return 0;
    QByteArray block(qsizetype(std::min(size, firstRoom)), Qt::Uninitialized);
    LeftoverLines leftovers;
    qint64 offset = 0;
    while (offset < size) {
        qint64 got = 0;
        if (const int error = m_file.read(offset, block.data(), block.size(), &got); error != 0) {
            // A run now would replace a journal that could still take the run before back, and
            // could not keep it aside: it stops before its first step, leaving the file as it is.
            m_state = State::Failed;
            m_readError = error;
            m_problem = QStringLiteral("das Protokoll des letzten Laufs lässt sich nicht lesen (Fehler %1: %2)")
                            .arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
            return error;
        }
        const char *const zero = got > 0 ? static_cast<const char *>(std::memchr(block.constData(), 0, size_t(got))) : nullptr;
        const qint64 taken = zero ? zero - block.constData() : got;
        leftovers.add(block.constData(), qsizetype(taken));
        offset += taken;
        if (zero || got == 0)
            break;
    }
    m_keptRoom = size;
    m_previousEnd = offset;
    JournalContents before;
    if (leftovers.parse(m_folderPath, &before))
        removeWhatAKilledRunLeft(m_folderPath, before);
    return 0;
}

// The journal of the run before stays until this run has changed something: its bytes are
// kept before the first of them is overwritten, up to until.
bool JournalObserver::keepPrevious(qint64 until)
{
    if (m_anyDone)
        return true;
    const qint64 end = std::min(until, m_previousEnd);
    while (m_previous.size() < end) {
        const qsizetype at = m_previous.size();
        m_previous.resize(qsizetype(end));
        qint64 got = 0;
        if (m_file.read(at, m_previous.data() + at, end - at, &got) != 0 || got == 0) {
            m_previous.truncate(at);
            return false;
        }
        m_previous.truncate(at + qsizetype(got));
        // Where the file beside cannot be written, a run that ends still puts the journal back
        // from memory; only a kill then costs it.
        m_before.keep(m_journalPath, m_previousEnd, m_previous.constData() + at, got);
    }
    return true;
}

void JournalObserver::goAheadWithout()
{
    m_state = State::Without;
    // The journal of an earlier run must not pass for this one's: it goes, or where it cannot
    // be removed (an immutable file) a marker beside it says it is outdated.
    const QString &path = m_journalPath;
    removeJournalBefore(path);
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
    if (prepare() != 0)
        return false;
    // The file keeps its room: cutting it short would give back blocks on the disk (which on a
    // disk mounted with "discard" waits for the device) only to take new ones for the first
    // lines. A zero byte at its start ends the journal there (the reader stops at the first
    // one), and the old lines are overwritten with zeros ahead of the new ones.
    m_capacity = m_keptRoom;
    m_zeroed = 0;
    const bool kept = m_capacity > 0 && keepPrevious(firstRoom) && m_file.write(0, "", 1) == 0;
    if (kept)
        m_zeroed = 1;
    else
        m_capacity = m_keptRoom = 0;
    const QByteArray header = journalHeader(m_folderPath, m_startTime);
    if ((!kept && (!keepPrevious(m_previousEnd) || m_file.truncate(0) != 0))
        || !append(header.constData(), header.size(), nullptr))
        return false;
    m_state = State::Writing;
    QFile::remove(outdatedMarkerPath(m_journalPath));
    pruneJournals(m_journalPath);
    return true;
}

// Whether the journal takes lines now, beginning it at the first.
bool JournalObserver::ready()
{
    // A caller that did not open the journal first gets it now; a run that cannot have it stops.
    if (m_state == State::Closed && open() != 0)
        return false;
    if (m_state == State::Open && !begin()) {
        if (m_state != State::Failed) // a journal before that could not be read has said so
            m_problem = journalProblemText(ENOSPC);
        m_state = State::Failed;
        return false;
    }
    return m_state != State::Failed;
}

bool JournalObserver::aboutToMakeTemporary(bool intoMobix, const NativeName &name)
{
    if (!ready())
        return false;
    if (m_state == State::Writing) {
        const QByteArray line = QByteArrayLiteral("T\t") + (intoMobix ? '1' : '0') + '\t' + encodeJournalName(name) + '\n';
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
    if (ok && !m_anyDone) {
        m_anyDone = true;
        m_previous = QByteArray(); // this run's journal replaces it now
    }
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

// Overwrites the room's old bytes with zeros up to end at least, ahead in steps of the first
// room, so a line is only ever written where zeros follow it. Beyond the kept room the file
// holds zeros already.
bool JournalObserver::zeroUpTo(qint64 end)
{
    static const char zeros[firstRoom] = {};
    if (end <= m_zeroed || m_zeroed >= m_keptRoom)
        return true;
    const qint64 until = std::min(std::max(end, m_zeroed + firstRoom), m_keptRoom);
    if (!keepPrevious(until))
        return false;
    for (qint64 at = m_zeroed; at < until; at += firstRoom) {
        if (m_file.write(at, zeros, std::min(firstRoom, until - at)) != 0)
            return false;
    }
    m_zeroed = until;
    return true;
}

bool JournalObserver::append(const char *text, qint64 size, const JournalStep *step)
{
    const qint64 room = 2 + size + (step ? longestStepLine(*step) : 0);
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
        to = putStepLine(to, *step);
    // The byte after the line ends the journal until the next line is there.
    if (!zeroUpTo(m_used + (to - start) + 1) || m_file.write(m_used, start, to - start) != 0)
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
            // The file ends where the lines end, or, where it had more room before the run,
            // with zeros after them, which the reader stops at (as after a killed run): that
            // room stays for the next run. A run that needed far less than the one before
            // gives the room back.
            const qint64 stale = m_keptRoom - m_zeroed;
            if (m_used >= m_keptRoom || stale > m_used + firstRoom || !zeroUpTo(m_keptRoom))
                m_file.truncate(m_used);
            else
                m_file.truncate(m_keptRoom); // the room taken beyond it, never written
            m_before.remove();
        } else if (m_previousEnd > 0 && m_previous.size() >= std::min(m_zeroed, m_previousEnd)) {
            // What this run overwrote is written back (the rest is still there), behind a zero
            // byte where the journal before ended, before the file is cut: killed in between,
            // the file holds that journal and nothing after it that counts.
            // Where that fails, the file beside it still holds the journal before.
            if (restoreJournalStart(m_file, m_previous.constData(), m_previous.size(), m_previousEnd) == 0)
                m_before.remove();
        } else {
            m_before.remove();
            removeJournalBefore(m_journalPath);
            m_file.remove();
        }
    } else if (m_state == State::Open) {
        // Nothing was recorded: the room taken for the first lines goes again. Where the
        // journal was not read to its end before (m_keptRoom), it is read now; where it cannot
        // be read, it stays as it is, the journal before it included.
        qint64 end = m_keptRoom > 0 ? m_previousEnd : -1;
        if (QByteArray kept; end < 0 && m_file.readAll(&kept) == 0)
            end = kept.indexOf('\0') >= 0 ? kept.indexOf('\0') : kept.size();
        if (end == 0) {
            removeJournalBefore(m_journalPath);
            m_file.remove();
        }
        else if (end > 0 && end < m_file.size())
            m_file.truncate(end);
    }
    m_file.close();
    m_state = State::Closed;
}
