#pragma once

#include "engine/nativename.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The listed files of a folder, index for index: the entry the user sees, its extension
// (without the dot, in the case found) and the name as the system holds it, which the batch
// run acts on because a shown name need not encode back to the same bytes.
struct FileListData
{
    QStringList entries;
    QStringList extensions;
    QList<NativeName> nativeNames;

    void clear();
    int count() const;
};

// Name parts, taken from the file's own name so that a "." in a folder name never counts.
// A name without a "." has an empty extension and is its own base name.
QString GetFileExtension(const QString &fileName);
QString GetFileBaseName(const QString &fileName);
// The folder part of a path, up to and including its last separator ("" when it has none).
QString GetFileFolder(const QString &filePath);

// False for a folder path that cannot name the folder it was read from: a name that is not
// valid in the system's encoding is shown with U+FFFD and cannot be encoded back.
bool isRepresentableFolder(const QString &folderPath);

// Asks the user for a folder; returns "" when the user cancels.
using BrowseFunction = std::function<QString()>;

// Empties the lists, takes the folder from browse (askForFolder) or from folderPath, and lists
// the folder's files that pass the filter, in name order (case-insensitive, digit runs compared
// as numbers). Returns the folder's path with one trailing separator when the folder holds at
// least one file, matching or not; "" for a cancelled choice, an unreadable or vanished folder,
// or a folder without files, and for a path that isRepresentableFolder refuses.
QString FillFileList(FileListData &lists, const QString &filterText, bool askForFolder,
                     const QString &folderPath, const BrowseFunction &browse);
