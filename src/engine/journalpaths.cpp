// Where a folder's journal lives: one file per folder in the state folder, named after the
// folder's real path.
#include "journal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString outdatedMarkerPath(const QString &journalPath)
{
    return journalPath + QStringLiteral(".outdated");
}

QString journalFolder()
{
    // XDG_STATE_HOME moves the journals on every system (tests give each run a folder of its own).
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
#ifdef Q_OS_WIN
        state = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
        state = QDir::homePath() + QStringLiteral("/.local/state");
#endif
    return state + QStringLiteral("/Kappwerk");
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
