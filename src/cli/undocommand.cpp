#include "cli/undocommand.h"

#include <QString>
#include <QTextStream>

int runUndoCommand(const QString &folder, QTextStream &out, QTextStream &err)
{
    // Taking a run back needs the run's journal, which is not written yet.
    Q_UNUSED(folder);
    Q_UNUSED(out);
    err << QStringLiteral("Rückgängig machen ist noch nicht verfügbar") << Qt::endl;
    return 2;
}
