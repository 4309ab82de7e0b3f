#include "cli/undocommand.h"

#include "cli/cliresult.h"
#include "cli/exitstatus.h"

#include <QFileInfo>
#include <QString>
#include <QTextStream>

#include "engine/batchrun.h"
#include "engine/undo.h"
#include "selection/platformdir.h"

int runUndoCommand(const QString &folder, QTextStream &out, QTextStream &err)
{
    const QFileInfo info(folder);
    if (!info.isDir()) {
        err << QStringLiteral("kappwerk: „%1“ ist kein Ordner.").arg(folder) << Qt::endl;
        return BadUsage;
    }
    const UndoReport report = undoLastRun(folderWithSeparator(info.absoluteFilePath()));
    if (report.busy) {
        err << QStringLiteral("kappwerk: In diesem Ordner läuft gerade ein anderer Lauf.") << Qt::endl;
        return BadUsage;
    }
    if (!report.journalProblem.isEmpty() && !report.hadJournal) {
        err << QStringLiteral("kappwerk: Das Protokoll für „%1“ lässt sich nicht lesen: %2.")
                   .arg(folder, report.journalProblem)
            << Qt::endl;
        return BadUsage;
    }
    if (!report.hadJournal) {
        err << QStringLiteral("kappwerk: Für „%1“ ist kein Lauf verzeichnet, der sich rückgängig machen lässt.")
                   .arg(folder)
            << Qt::endl;
        return BadUsage;
    }
    // One line per operation taken back or refused: the name the run gave, the old name, what
    // became of it; the names escaped from their bytes as the run's lines are, so a byte that
    // is not UTF-8 reads \xHH there too.
    for (const UndoResult &result : report.results) {
        const QByteArray name = escapedName(result.nativeName);
        QString outcome = result.done ? (result.copy ? QStringLiteral("entfernt") : QStringLiteral("zurückbenannt"))
                                      : QStringLiteral("nicht rückgängig");
        if (!result.reason.isEmpty())
            outcome += QStringLiteral(": ") + result.reason;
        out << (result.intoMobix ? MobixFolderName + QLatin1Char('/') : QString()) << QString::fromUtf8(name) << '\t'
            << QString::fromUtf8(escapedName(result.nativeOldName)) << '\t' << outcome << '\n';
    }
    out.flush();
    if (!report.journalProblem.isEmpty())
        err << QStringLiteral("kappwerk: ") << report.journalProblem << Qt::endl;
    return report.countProblems() > 0 || !report.journalProblem.isEmpty() ? SomeSkipped : AllDone;
}
