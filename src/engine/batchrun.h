#pragma once

#include <vector>

#include <QString>

#include "engine/nativename.h"

// The subfolder, inside the listed folder, that copies go into.
inline const QString MobixFolderName = QStringLiteral("MOBIX");
// The characters a new name keeps when the others are removed, until the user chooses others.
inline const QString DefaultAllowedCharacters =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");
// How long a cut name is, and the numbering pattern, until the user chooses others.
inline constexpr qint32 DefaultCutLength = 30;
inline const QString DefaultNumberPattern = QStringLiteral("%# - Dateiname");

// The options of one batch run, read from the main window when the run starts. The window and
// the command line make them from the stored options (settings/optionsstore.h).
struct RenameOptions {
    bool CutAfterLength = true;
    bool Rename = false;
    qint32 MaxFileLength = DefaultCutLength;
    QString NewFilename = DefaultNumberPattern;
    bool Special = true;
    QString SpecialListe = DefaultAllowedCharacters;
    bool Subdirectory = true;
    bool Overwrite = false;
    // With removal: characters outside the allowed set are spelled in ASCII first (ä → ae), and
    // the name is tidied (no double blanks, nothing dangling at its end).
    bool Transliterate = false;
};

// Whether a run with these options copies into "MOBIX"; otherwise the names already in the
// listed folder are in the way of the new ones.
inline bool copiesIntoMobix(const RenameOptions &options)
{
    return !options.Overwrite && options.Subdirectory;
}

// One entry of the file list, index for index with the list shown to the user.
struct BatchEntry {
    QString text;          // the entry as listed: the file's name (decoded for display)
    QString extension;     // without the dot, as found; empty for a name without "."
    NativeName nativeName; // the file's name exactly as read from the folder
    bool selected = false;
};

bool AnySelected(const std::vector<BatchEntry> &entries);

// The new file name of an entry (base name, and "." and extension when the listed name has a
// "."); advances NextNumber in the numbering mode. Empty when neither mode is chosen.
QString newFileName(const BatchEntry &entry, const RenameOptions &options, qint32 &NextNumber);
// The new name made distinct from an equal one given before it: its end replaced by a blank and
// number, within maxLength characters before the extension; "" where the number does not fit.
QString distinctFileName(const BatchEntry &entry, const QString &name, int number, qint32 maxLength);
// True when name can only name a file in its folder (no separator, not "", "." or "..") and
// Windows would take it as it is: no device name, no trailing dot or blank, no < > : " \ | ? *.
bool isPlainFileName(const QString &name);
