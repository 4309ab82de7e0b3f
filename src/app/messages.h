#pragma once

#include <QString>

// Texts of the main window's message boxes that more than one of its files shows.
inline const QString LengthMessage = QStringLiteral("Bitte eine Länge zwischen 1 und 99 Zeichen verwenden.");
inline const QString NothingSelectedMessage =
    QStringLiteral("Keine Dateien ausgewählt. Wählen Sie zuerst Ordner öffnen.");
inline const QString StopRunQuestion = QStringLiteral("Lauf abbrechen?");
