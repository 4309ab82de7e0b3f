#pragma once

#include <QString>

#include <optional>

class QSettings;

// The ten options that survive a restart, in the form the main window's controls take them.
struct StoredOptions {
    int extensionIndex = 6;            // "-----Sounddateien-----"
    QString specialListe = QStringLiteral(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");
    bool cutAfterLength = true;
    bool rename = false;
    QString maxFileLength = QStringLiteral("30");
    QString newFilename = QStringLiteral("%# - Dateiname");
    int overwrite = 0;                 // check box values 0, 1, 2
    int subdirectory = 1;
    bool subdirectoryEnabled = true;
    int special = 1;
};

// The settings group the options live in.
inline constexpr const char *OptionsGroup = "Optionen";
inline constexpr int ExtensionEntryCount = 25;

// Reads the options. A missing key, or a stored value that cannot be converted or that its
// control cannot take, gives that option's default; a length that is a number or empty is
// passed on as stored, so that the window's length check can answer it.
StoredOptions readOptions(QSettings &settings);

// Writes all ten options in their fixed order and flushes them; false when the store could
// not be written (the program closes normally all the same).
bool writeOptions(QSettings &settings, const StoredOptions &options);

// "true"/"false" in any letter case, or a decimal number (0 false, anything else true);
// anything else, such as "no" or "off", is no boolean at all.
std::optional<bool> parseStoredBool(const QString &text);
