#pragma once

#include <QString>

#include <vector>

#include "engine/platformfs.h"

// Names on file systems that ignore case (FAT, exFAT, NTFS as Windows uses it): "Lied.mp3" and
// "LIED.mp3" are one name there, so names the run gives are compared in folded case.

// The name in the case every spelling of it folds to.
QString foldedName(const QString &name);
NativeName foldedNativeName(const NativeName &name);

// Whether a and b are two spellings of one name in folded case.
bool differInCaseAlone(const NativeName &a, const NativeName &b);
// Whether the folder's listing holds exactly this spelling of a name; the listing's error, or 0.
int listsSpelling(const Folder &folder, const NativeName &name, bool *listed);

// Whether facts found in folder under two spellings of a name describe one file: by identity
// where identities last, else (FUSE numbers each spelling anew) by type, size and time.
bool sameFile(const Folder &folder, const FileFacts &a, const FileFacts &b);

// Whether the folder's file system ignores case, told by a name in it: the name with one ASCII
// letter in the other case leads to the same file. False for a name without ASCII letters.
bool namesIgnoreCase(const Folder &folder, const NativeName &name);
// The same, told by the first of names (found in the folder) with an ASCII letter.
bool ignoresCaseByNames(const Folder &folder, const std::vector<NativeName> &names);
// The same, told by one of the folder's first names.
bool folderIgnoresCase(const Folder &folder);

// Renames from to to in folder, never replacing anything. Where to differs from from in case
// alone and leads to the very file (a file system that ignores case, which counts the new
// spelling as taken), the file is renamed to it all the same; where the name keeps its old case
// all the same, the rename counts as refused (EEXIST).
int renameInFolder(Folder &folder, const NativeName &from, const NativeName &to);
