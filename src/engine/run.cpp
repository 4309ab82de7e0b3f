#include "run.h"

#include <cerrno>
#include <cstring>

#include <QStringList>

#include "engine/namecase.h"
#include "engine/nameindex.h"
#include "engine/namerules.h"

float RunProgress::barValue() const
{
    if (entryCount == 0)
        return 100.0f;
    // Just below 100, and above every value before it for lists of up to a million entries.
    if (flushing)
        return 99.9999f;
    double value = double(entriesDone) / double(entryCount) * 100.0;
    if (bytesTotal > 0 && entriesDone < entryCount)
        value += double(bytesDone) / double(bytesTotal) / double(entryCount) * 100.0;
    return value <= 0.0 ? 0.0001f : float(value);
}

int RunReport::countDone() const
{
    int done = 0;
    for (const EntryResult &result : results)
        done += result.outcome != Outcome::Skipped;
    return done;
}

int RunReport::countSkipped() const
{
    return int(results.size()) - countDone();
}

namespace {

// Nothing before the extension but blanks and dots: ".mp3", "..mp3" would be hidden files and
// " .mp3" a name without a word in it, each taken by the next name of its kind.
bool nothingBeforeExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (name.isEmpty() || dot == 0)
        return true;
    // A name ending in its dot has no extension; "." and ".." are no file names at all.
    if (dot < 0 || dot + 1 == name.size())
        return false;
    for (qsizetype i = 0; i < dot; ++i) {
        if (name.at(i) != u' ' && name.at(i) != u'.')
            return false;
    }
    return true;
}

} // namespace

SkipReason newNameProblem(const QString &name, qint64 storedLength, qint64 nameMax, bool renamedToItself)
{
    if (nothingBeforeExtension(name))
        return SkipReason::NameEmpty;
    if (!isPlainFileName(name))
        return SkipReason::NameNotAllowed;
    if (storedLength > nameMax)
        return SkipReason::NameTooLong;
    if (renamedToItself)
        return SkipReason::Unchanged;
    return SkipReason::None;
}

std::vector<QString> planNames(const std::vector<BatchEntry> &entries, const RenameOptions &options,
                               std::vector<size_t> *wantedFirst, bool ignoreCase)
{
    qint32 NextNumber = 1;
    std::vector<QString> names(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].selected)
            names[i] = newFileName(entries[i], options, NextNumber);
    }
    if (wantedFirst)
        wantedFirst->assign(entries.size(), size_t(-1));
    // Renaming keeps its rule: the later file keeps its old name.
    if (options.Overwrite)
        return names;
    // Copying, the first in list order keeps a name and each later one gets a number at its end,
    // one that no other entry gets as its own name: the same batch gets the same names again.
    // Where the file system ignores case, names are compared in folded case.
    const std::vector<QString> natural = names;
    const auto key = [ignoreCase](const QString &name) { return ignoreCase ? foldedName(name) : name; };
    std::vector<QString> wantedKeys(entries.size());
    const auto given = [&entries, &natural](size_t i) {
        // A name with nothing before its extension is never given (newNameProblem).
        return entries[i].selected && !nothingBeforeExtension(natural[i]);
    };
    NameIndex wanted(entries.size(), [&wantedKeys](size_t at) -> const QString & { return wantedKeys[at]; });
    // The entries whose name an earlier one gets, with that one.
    std::vector<std::pair<size_t, size_t>> later;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!given(i))
            continue;
        wantedKeys[i] = key(natural[i]);
        if (const qint64 first = wanted.findOrInsert(i); first >= 0) {
            later.emplace_back(i, size_t(first));
            if (wantedFirst)
                (*wantedFirst)[i] = size_t(first);
        }
    }
    if (later.empty())
        return names;
    std::vector<QString> madeKeys(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        madeKeys[i] = key(names[i]);
    NameIndex made(later.size(), [&madeKeys](size_t at) -> const QString & { return madeKeys[at]; });
    // Per entry that keeps a name, the number its next double tries first.
    std::vector<int> nextNumber(entries.size(), 2);
    for (const auto &[i, first] : later) {
        const qint32 length = options.CutAfterLength ? options.MaxFileLength
                                                     : qint32(StripExtension(natural[i]).size());
        int &number = nextNumber[first];
        for (;; ++number) {
            QString distinct = distinctFileName(entries[i], natural[i], number, length);
            if (distinct.isEmpty())
                break;
            if (wanted.find(key(distinct)) < 0) {
                madeKeys[i] = key(distinct);
                names[i] = std::move(distinct);
                if (made.findOrInsert(i) < 0)
                    break;
                names[i] = natural[i];
                madeKeys[i] = wantedKeys[i];
            }
        }
    }
    return names;
}

QString skipReasonText(SkipReason reason, int error)
{
    switch (reason) {
    case SkipReason::None:
        return QString();
    case SkipReason::NameTaken:
        return QStringLiteral("Name schon vergeben");
    case SkipReason::NameNotAllowed:
        return QStringLiteral("Name nicht erlaubt");
    case SkipReason::NameTooLong:
        return QStringLiteral("Name zu lang");
    case SkipReason::Unchanged:
        return QStringLiteral("Name unverändert");
    case SkipReason::SourceGone:
        return QStringLiteral("Datei fehlt oder ist keine normale Datei");
    case SkipReason::NoSpace:
        return QStringLiteral("kein Platz mehr");
    case SkipReason::NoPermission:
        return QStringLiteral("keine Berechtigung");
    case SkipReason::MobixUnusable:
        return QStringLiteral("Unterordner MOBIX nicht nutzbar");
    case SkipReason::Cancelled:
        return QStringLiteral("abgebrochen");
    case SkipReason::NotRecorded:
        return QStringLiteral("Lauf angehalten: Protokoll nicht schreibbar");
    case SkipReason::NotOnDevice:
        return QStringLiteral("Schreiben auf das Gerät fehlgeschlagen");
    case SkipReason::NameEmpty:
        return QStringLiteral("Name leer");
    case SkipReason::OtherError:
        break;
    }
    return error ? QStringLiteral("Fehler %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)))
                 : QStringLiteral("Fehler");
}

QString outcomeText(const EntryResult &result)
{
    switch (result.outcome) {
    case Outcome::Renamed:
        return QStringLiteral("umbenannt");
    case Outcome::Copied:
        return QStringLiteral("kopiert");
    case Outcome::Skipped:
        break;
    }
    return QStringLiteral("übersprungen: ") + skipReasonText(result.reason, result.error);
}

QString skippedReportText(const std::vector<BatchEntry> &entries, const RunReport &report, int maxLines)
{
    const int skipped = report.countSkipped();
    if (skipped == 0)
        return QString();
    QStringList lines;
    lines << (report.countDone() == 0 ? QStringLiteral("Keine Datei wurde umbenannt oder kopiert:")
                                      : QStringLiteral("%1 von %2 ausgewählten Dateien wurden übersprungen:")
                                            .arg(skipped)
                                            .arg(report.results.size()));
    int listed = 0;
    for (const EntryResult &result : report.results) {
        if (result.outcome != Outcome::Skipped || ++listed > maxLines)
            continue;
        const QString old = result.index < entries.size() ? entries[result.index].text : QString();
        lines << old + QStringLiteral(" → ") + result.newName + QStringLiteral(": ")
                     + skipReasonText(result.reason, result.error);
    }
    if (listed > maxLines)
        lines << QStringLiteral("… und %1 weitere").arg(listed - maxLines);
    return lines.join(QLatin1Char('\n'));
}

SkipReason skipReasonFor(int error)
{
    switch (error) {
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
        return SkipReason::NameTaken;
    case ENAMETOOLONG:
        return SkipReason::NameTooLong;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENXIO:
        return SkipReason::SourceGone;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return SkipReason::NoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
        return SkipReason::NoPermission;
    case ECANCELED:
        return SkipReason::Cancelled;
    default:
        return SkipReason::OtherError;
    }
}
