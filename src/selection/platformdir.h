#pragma once

#include "engine/nativename.h"

#include <QString>

#include <vector>

// One file found in a folder: its name as the system holds it and as the user sees it, and
// its extension once the listing has cut it.
struct FolderFile
{
    NativeName nativeName;
    QString name;
    QString extension;
};

// Reads the regular files directly inside the folder, links followed: a link to a file counts,
// dangling links, folders, pipes, sockets and devices do not. Hidden files are included.
// Returns false (and no files) when the folder cannot be opened or read to the end.
bool readFolderFiles(const QString &folder, std::vector<FolderFile> &files);

// Position of the last path separator in the text, -1 when it holds none.
qsizetype lastSeparator(const QString &path);

// The folder's path ending in exactly one separator ("/" stays "/", "C:" becomes "C:\").
QString folderWithSeparator(const QString &folder);

// The folder's path without a trailing separator, except that a root keeps its own ("/", "C:\").
QString folderWithoutSeparator(const QString &folder);
