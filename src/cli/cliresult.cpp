#include "cli/cliresult.h"

#include "engine/batchrun.h"
#include "engine/run.h"

#include <utility>

namespace {

// The length of the well-formed UTF-8 sequence that starts at `at`, 0 when none starts there
// (a stray continuation byte, a cut or overlong sequence, a surrogate, beyond U+10FFFF).
int utf8Length(const QByteArray &bytes, qsizetype at)
{
    const uchar lead = uchar(bytes[at]);
    int length = 0;
    char32_t code = 0, least = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        length = 2, code = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, code = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, code = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const uchar next = uchar(bytes[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < least || code > 0x10FFFF || surrogate ? 0 : length;
}

// A listed name's bytes: on POSIX the name as the folder holds it, on Windows its UTF-8.
[[maybe_unused]] QByteArray nameBytes(const QByteArray &native)
{
    return native;
}
[[maybe_unused]] QByteArray nameBytes(const QString &native)
{
    return native.toUtf8();
}

// Appends the name's bytes as one line of text holds them. Printable ASCII other than the
// backslash, most of any name, is copied in runs, without a look at each byte's sequence.
void appendEscapedName(QByteArray &out, const QByteArray &bytes)
{
    const char *const data = bytes.constData();
    const qsizetype size = bytes.size();
    for (qsizetype at = 0; at < size;) {
        qsizetype plain = at;
        while (plain < size && uchar(data[plain]) >= 0x20 && uchar(data[plain]) < 0x7F && data[plain] != '\\')
            ++plain;
        out.append(data + at, plain - at);
        at = plain;
        if (at == size)
            break;
        const char byte = data[at];
        const int length = utf8Length(bytes, at);
        if (byte == '\t' || byte == '\n' || byte == '\\') {
            out.append(byte == '\t' ? "\\t" : byte == '\n' ? "\\n" : "\\\\", 2);
        } else if (length == 0 || uchar(byte) < 0x20 || byte == 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            const char escape[] = {'\\', 'x', hex[uchar(byte) >> 4], hex[uchar(byte) & 0xF]};
            out.append(escape, 4);
        } else {
            out.append(data + at, length);
            at += length;
            continue;
        }
        ++at;
    }
}

} // namespace

QByteArray escapedName(const QByteArray &bytes)
{
    QByteArray escaped;
    escaped.reserve(bytes.size());
    appendEscapedName(escaped, bytes);
    return escaped;
}

QByteArray escapedName(const QString &name)
{
    return escapedName(name.toUtf8());
}

void appendResultRecord(QByteArray &out, const BatchEntry &entry, const EntryResult &result, bool predicted,
                        RecordFormat format)
{
    const QByteArray oldName = nameBytes(entry.nativeName);
    const QByteArray newName = nameBytes(encodeNativeName(result.newName));
    // The words of a file done are the same for every file: made once.
    static const QByteArray doneWords[2][2] = {
        {outcomeText({0, {}, Outcome::Renamed}).toUtf8(), outcomeText({0, {}, Outcome::Copied}).toUtf8()},
        {"würde " + outcomeText({0, {}, Outcome::Renamed}).toUtf8(),
         "würde " + outcomeText({0, {}, Outcome::Copied}).toUtf8()}};
    const QByteArray outcome = result.outcome == Outcome::Skipped
        ? ((predicted ? QStringLiteral("würde ") : QString()) + outcomeText(result)).toUtf8()
        : doneWords[predicted][result.outcome == Outcome::Copied];
    if (format == RecordFormat::Null) {
        out.append(oldName).append('\0').append(newName).append('\0').append(outcome).append('\0');
        return;
    }
    appendEscapedName(out, oldName);
    out.append('\t');
    appendEscapedName(out, newName);
    out.append('\t').append(outcome).append('\n');
}

EntryResult plannedResult(size_t index, const PlannedEntry &planned, const RenameOptions &options)
{
    EntryResult result;
    result.index = index;
    result.newName = planned.newName;
    result.reason = planned.problem;
    if (planned.problem == SkipReason::None)
        result.outcome = options.Overwrite ? Outcome::Renamed : Outcome::Copied;
    return result;
}

void VerboseLines::progress(const RunProgress &state)
{
    // The run reports an entry done and goes on to the next one: that one is named now.
    if (state.entriesDone >= m_shown && state.entriesDone < m_entries.size() && !state.flushing) {
        m_shown = state.entriesDone + 1;
        m_err << m_shown << '/' << m_entries.size() << ' '
              << QString::fromUtf8(escapedName(nameBytes(m_entries[state.entriesDone].nativeName))) << Qt::endl;
    }
    if (state.flushing && !std::exchange(m_flushShown, true))
        m_err << QStringLiteral("Die Kopien werden auf das Gerät geschrieben …") << Qt::endl;
}
