#include "cli/undocommand.h"

#include "cli/cliresult.h"
#include "cli/exitstatus.h"

#include <QFileInfo>
#include <QString>
#include <QTextStream>

#include "engine/batchrun.h"
#include "engine/undo.h"
#include "selection/filelist.h"
#include "selection/platformdir.h"

QString folderArgumentProblem(const QString &argument)
{
    const QFileInfo info(argument);
    if (!isRepresentableFolder(info.absoluteFilePath()))
        return QStringLiteral("Der Name des Ordners „%1“ enthält Zeichen, die Kappwerk nicht darstellen kann; "
                              "bitte benennen Sie den Ordner um.").arg(info.absoluteFilePath());
    return info.isDir() ? QString() : QStringLiteral("„%1“ ist kein Ordner.").arg(argument);
}

int runUndoCommand(const QString &folder, QTextStream &out, QTextStream &err)
{
    const QFileInfo info(folder);
    if (const QString problem = folderArgumentProblem(folder); !problem.isEmpty()) {
        err << QStringLiteral("kappwerk: ") << problem << Qt::endl;
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
