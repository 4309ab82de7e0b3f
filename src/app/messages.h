#pragma once

#include <QString>

// Texts of the main window's message boxes that more than one of its files shows.
inline const QString LengthMessage = QStringLiteral("Bitte eine Länge zwischen 1 und 99 Zeichen verwenden.");
inline const QString NothingSelectedMessage =
    QStringLiteral("Keine Dateien ausgewählt. Wählen Sie zuerst Ordner öffnen.");
inline const QString StopRunQuestion = QStringLiteral("Lauf abbrechen?");
inline const QString FolderBusyMessage = QStringLiteral("In diesem Ordner läuft gerade ein anderer Lauf.");
// Asked when the run's journal cannot be written: %1 is why.
inline const QString NoUndoQuestion =
    QStringLiteral("Dieser Lauf kann nicht rückgängig gemacht werden (%1). Trotzdem ausführen?");
