// The journal's text: a header naming the folder and when the run began, then a line per step
// with the names percent-encoded and what identifies the files, each followed by its outcome.
#include "journalformat.h"

#include <charconv>
#include <cstring>

#include <QFileInfo>

namespace {

const QByteArray magic = QByteArrayLiteral("Kappwerk-Journal 2");
const QByteArray oldMagic = QByteArrayLiteral("Kappwerk-Journal 1");

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
// Each byte's text is looked up in one table: a step's two names are most of what a step costs
// to write.
struct EncodedBytes {
    char text[256][4]; // the byte as it is written, its length in the fourth place
    constexpr EncodedBytes() : text()
    {
        const char hex[] = "0123456789ABCDEF";
        for (int u = 0; u < 256; ++u) {
            if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '.'
                || u == '_' || u == '~') {
                text[u][0] = char(u);
                text[u][3] = 1;
            } else {
                text[u][0] = '%';
                text[u][1] = hex[u >> 4];
                text[u][2] = hex[u & 15];
                text[u][3] = 3;
            }
        }
    }
};
constexpr EncodedBytes encodedBytes;

char *putEncodedName(char *to, const QByteArray &bytes)
{
    // Four bytes are stored for every byte (the line's room allows it: the fields follow), and
    // the write moves on by the byte's length, so there is no branch per byte.
    // (The ends are taken first: a store through a char pointer could change them, so the
    // compiler would read them again after every byte.)
    for (const char *from = bytes.constData(), *const end = from + bytes.size(); from != end; ++from) {
        const char *const text = encodedBytes.text[uchar(*from)];
        std::memcpy(to, text, 4);
        to += text[3];
    }
    return to;
}

constexpr int numberRoom = 24;
constexpr int numberFields = 14;

template <typename Number>
char *putField(char *to, Number value)
{
    *to++ = '\t';
    if (value == 0) { // most fields of a rename
        *to++ = '0';
        return to;
    }
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

} // namespace

// The folder as the journal knows it: without links in its path, so the window and the command
// line find one journal whichever way the folder was reached.
QString journalKey(const QString &folderPath)
{
    QString canonical = QFileInfo(folderPath).canonicalFilePath();
    if (canonical.isEmpty())
        return folderPath;
#ifdef Q_OS_WIN
    // Windows finds a folder by its name in any case and keeps the case it was given in
    // ("d:\karte" for D:\Karte): one case for all, else an undo typed so finds no run.
    canonical = canonical.toCaseFolded();
#endif
    return canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
}

QByteArray journalHeader(const QString &folderPath, const qint64 startTime[2])
{
    return magic + '\t' + encodeName(encodeNativeName(journalKey(folderPath))) + '\t'
        + QByteArray::number(startTime[0]) + '\t' + QByteArray::number(startTime[1]) + '\n';
}


QByteArray encodeJournalName(const NativeName &name)
{
    return encodeName(name);
}

qint64 longestStepLine(const JournalStep &step)
{
    return longestStepLine(nameBytes(step.oldName), nameBytes(step.newName));
}

char *putStepLine(char *to, const JournalStep &step)
{
    return putStepLine(to, step, nameBytes(step.oldName), nameBytes(step.newName));
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
        } else if (line.startsWith("U\t")) {
            const QByteArrayList fields = line.split('\t');
            JournalUndoMark &mark = contents->undoing;
            mark = JournalUndoMark();
            if (fields.size() == 5) {
                mark = {decodeName(fields[1]), decodeName(fields[2]), {fields[3].toLongLong(), fields[4].toLongLong()}};
                mark.valid = plainName(mark.oldName) && plainName(mark.newName);
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

void LeftoverLines::add(const char *data, qsizetype size)
{
    // Line by line: a search for the three bytes "\nT\t" costs ten times as much per byte as
    // finding the line ends, and a long run's journal holds megabytes of steps.
    const char *const end = data + size;
    for (const char *line = data; line < end;) {
        const char *const lineEnd = static_cast<const char *>(std::memchr(line, '\n', size_t(end - line)));
        if (!lineEnd) {
            m_partial.append(line, end - line);
            return;
        }
        if (m_partial.isEmpty()) {
            takeLine(QByteArrayView(line, lineEnd - line));
        } else {
            m_partial.append(line, lineEnd - line);
            takeLine(m_partial);
            m_partial.clear();
        }
        line = lineEnd + 1;
    }
}

void LeftoverLines::takeLine(QByteArrayView line)
{
    if (!m_haveHeader) {
        m_kept.append(line).append('\n');
        m_haveHeader = true;
        return;
    }
    if (line.startsWith("T\t"))
        m_kept.append(line).append('\n');
    if (!line.isEmpty()) {
        m_last.resize(0);
        m_last.append(line);
    }
}

bool LeftoverLines::parse(const QString &folderPath, JournalContents *contents)
{
    // Text without a line end is a header cut short, read as it is.
    if (!m_haveHeader)
        return parseJournal(m_partial, folderPath, contents);
    if (!m_partial.isEmpty()) {
        takeLine(m_partial);
        m_partial.clear();
    }
    return parseJournal(m_kept + m_last, folderPath, contents);
}

QByteArray undoMarkLine(const JournalUndoMark &mark)
{
    return "U\t" + encodeName(mark.oldName) + '\t' + encodeName(mark.newName) + '\t' + QByteArray::number(mark.time[0])
        + '\t' + QByteArray::number(mark.time[1]) + '\n';
}

QByteArray journalText(const QString &folderPath, const JournalContents &contents)
{
    QByteArray text = journalHeader(folderPath, contents.startTime);
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
    // Last, where a run reads only the last line of a long journal for what was left.
    if (contents.undoing.valid)
        text += undoMarkLine(contents.undoing);
    return text;
}

