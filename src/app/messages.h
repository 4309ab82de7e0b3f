#pragma once

#include <QString>

// Texts of the main window's message boxes and questions.
inline const QString LengthMessage = QStringLiteral("Bitte eine Länge zwischen 1 und 99 Zeichen verwenden.");
inline const QString NothingSelectedMessage =
    QStringLiteral("Keine Dateien ausgewählt. Wählen Sie zuerst Ordner öffnen.");
inline const QString StopRunQuestion = QStringLiteral("Lauf abbrechen?");
inline const QString FolderBusyMessage = QStringLiteral("In diesem Ordner läuft gerade ein anderer Lauf.");
// Asked when the run's journal cannot be written: %1 is why.
inline const QString NoUndoQuestion =
    QStringLiteral("Dieser Lauf kann nicht rückgängig gemacht werden (%1). Trotzdem ausführen?");
// KAPPWERK_VERSION comes from the build, as --version prints it.
inline const QString AboutMessage = QStringLiteral(
    "Kappwerk v" KAPPWERK_VERSION " by Ostwerk.\r\n\r\nHerzlichen Dank an Ombrel für die Tests, Hinweise und Vorschläge.");
// A path given from outside (the command line, a drop) that is neither a folder nor a file.
inline const QString NotAFolderMessage = QStringLiteral("„%1“ ist kein Ordner.");
inline const QString UndoIncompleteMessage = QStringLiteral("Nicht alles ließ sich rückgängig machen:\n");
inline const QString FolderPrompt = QStringLiteral("Bitte wählen Sie den Ordner mit den Dateien aus.");
inline const QString UnrepresentableFolderMessage = QStringLiteral(
    "Der Name dieses Ordners enthält Zeichen, die Kappwerk nicht darstellen kann. Bitte benennen Sie den "
    "Ordner um oder wählen Sie einen anderen.");
