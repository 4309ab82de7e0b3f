#pragma once

#include "engine/run.h"

#include <QByteArray>
#include <QString>
#include <QTextStream>

#include <vector>

// How the command line writes one file's result: old name, new name and outcome.
enum class RecordFormat {
    Escaped, // separated by tabs, one line per file: a tab, a newline, a backslash, another control
             // character or a byte that is not UTF-8 in a name is written as \t, \n, \\ or \xHH
    Null,    // each field ended by NUL, the names as their exact bytes
};

// Appends one file's record to out, so that many records go out in one write; the dry run
// (predicted: "würde kopiert") and the run print through it, so that their records differ only
// in that word.
void appendResultRecord(QByteArray &out, const BatchEntry &entry, const EntryResult &result, bool predicted,
                        RecordFormat format);

// A name as one line of text can hold it (the escaping of RecordFormat::Escaped).
QByteArray escapedName(const QByteArray &bytes);
QByteArray escapedName(const QString &name);

// What the run would report for an entry of the preview: renamed or copied when nothing is in
// its way, otherwise skipped for the preview's reason.
EntryResult plannedResult(size_t index, const PlannedEntry &planned, const RenameOptions &options);

// --verbose: one line per file on standard error as the run comes to it ("2/40 name"), so a
// long copy shows where it is, and a line when the copies are written out to the device.
class VerboseLines : public RunObserver
{
public:
    VerboseLines(const std::vector<BatchEntry> &entries, QTextStream &err) : m_entries(entries), m_err(err) {}
    void progress(const RunProgress &state) override;

private:
    const std::vector<BatchEntry> &m_entries;
    QTextStream &m_err;
    size_t m_shown = 0; // the entries named so far
    bool m_flushShown = false;
};
