#include "cli/runcommand.h"

#include "cli/cliresult.h"
#include "cli/exitstatus.h"
#include "engine/batchrun.h"
#include "engine/journal.h"

#include <QString>
#include <QTextStream>

#include <cerrno>

int runWithJournal(const std::vector<BatchEntry> &entries, const RenameOptions &options, const QString &folderPath,
                   bool verbose, bool noUndo, QTextStream &err, RunReport *report)
{
    VerboseLines lines(entries, err);
    JournalObserver journal(folderPath, verbose ? &lines : nullptr);
    // A journal before that cannot be read would be lost to this run: it is refused as one whose
    // journal cannot be written.
    int error = journal.open();
    if (error == 0)
        error = journal.prepare();
    if (error == EBUSY) {
        err << QStringLiteral("kappwerk: In diesem Ordner läuft gerade ein anderer Lauf.") << Qt::endl;
        return BadUsage;
    }
    if (error != 0 && !noUndo) {
        err << QStringLiteral("kappwerk: Dieser Lauf kann nicht rückgängig gemacht werden (%1). Nichts geändert; "
                              "mit --no-undo läuft er trotzdem.").arg(journal.problem())
            << Qt::endl;
        return BadUsage;
    }
    if (error != 0)
        journal.goAheadWithout();
    *report = runBatch(entries, options, folderPath, &journal);
    // The journal ends here and lets the folder go before the caller writes the records: a
    // reader slow to take them (a pager) keeps no other run or undo out of the folder meanwhile.
    return 0;
}
