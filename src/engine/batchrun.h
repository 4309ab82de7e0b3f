#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "engine/nativename.h"

// The options of one batch run, read from the main window when the run starts.
struct RenameOptions {
    bool CutAfterLength = true;
    bool Rename = false;
    qint32 MaxFileLength = 30;
    QString NewFilename = QStringLiteral("%# - Dateiname");
    bool Special = true;
    QString SpecialListe = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.");
    bool Subdirectory = true;
    bool Overwrite = false;
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

// Gets the progress, 0.0001 at the start of a run and then after every entry up to 100.
using ProgressFunction = std::function<void(float value)>;

bool AnySelected(const std::vector<BatchEntry> &entries);

// Renames or copies every selected entry under its new name. folderPath is the listed folder
// with its trailing separator. Every failing file operation is skipped silently.
void CutFiles(const std::vector<BatchEntry> &entries, const RenameOptions &options,
              const QString &folderPath, const ProgressFunction &progress);

// The new file name of an entry (base name, and "." and extension when the listed name has a
// "."); advances NextNumber in the numbering mode. Empty when neither mode is chosen.
QString newFileName(const BatchEntry &entry, const RenameOptions &options);
// True when name can only name a file in its folder (no separator, not "", "." or "..") and
// Windows would take it as it is: no device name, no trailing dot or blank, no < > : " \ | ? *.
bool isPlainFileName(const QString &name);
