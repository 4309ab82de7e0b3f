#pragma once

#include "engine/batchrun.h"

#include <QString>

#include <memory>
#include <optional>

class QSettings;

// The eleven options that survive a restart, in the form the main window's controls take them.
// A default-made StoredOptions holds the first-run defaults of the window and the command line.
struct StoredOptions {
    int extensionIndex = 6;            // "-----Sounddateien-----"
    QString specialListe = DefaultAllowedCharacters;
    bool cutAfterLength = true;
    bool rename = false;
    QString maxFileLength = QString::number(DefaultCutLength);
    QString newFilename = DefaultNumberPattern;
    int overwrite = 0;                 // check box values 0, 1, 2
    int subdirectory = 1;
    bool subdirectoryEnabled = true;
    int special = 1;
    int transliterate = 0;             // the allowed-characters dialog's "Umlaute und Akzente umschreiben"
};

// The settings group the options live in.
inline constexpr const char *OptionsGroup = "Optionen";
inline constexpr int ExtensionEntryCount = 45;

// The user's store of the options: the registry on Windows, ~/.config/Kappwerk/Kappwerk.conf
// elsewhere. The window and the command line read the same one.
std::unique_ptr<QSettings> openUserSettings();

// Reads the options. A missing key, or a stored value that cannot be converted or that its
// control cannot take, gives that option's default; a length that is a number or empty is
// passed on as stored, so that the window's length check can answer it.
StoredOptions readOptions(QSettings &settings);

// Writes all eleven options in their fixed order and flushes them; false when the store could
// not be written (the program closes normally all the same).
bool writeOptions(QSettings &settings, const StoredOptions &options);

// The options of a run as the window's controls (or the stored options) give them. Only a real
// tick counts (a greyed check box is off); an empty length is 1, as the length check makes an
// emptied field, and any other length it would not let through gives the default length.
RenameOptions runOptions(const StoredOptions &stored);

// "true"/"false" in any letter case, or a decimal number (0 false, anything else true);
// anything else, such as "no" or "off", is no boolean at all.
std::optional<bool> parseStoredBool(const QString &text);
