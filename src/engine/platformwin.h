#pragma once

// What the engine's Windows files share: wide names, handles and the mapping of Windows errors.
#include <qt_windows.h>

#include <QString>

#include "engine/platformfs.h"

namespace platformwin {

const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline const wchar_t *wide(const QString &name)
{
    return reinterpret_cast<const wchar_t *>(name.utf16());
}

inline HANDLE handleOf(FileHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}

// The errno value for the last Windows error, so the run reports alike on every system.
int lastError();
// The path in the form Windows takes beyond MAX_PATH (260 characters).
QString longPath(const QString &path);
void factsFrom(const BY_HANDLE_FILE_INFORMATION &info, FileFacts *facts);
// Deletes the file at path, or moves from onto it (replacing it), where its read-only mark would
// refuse that: Windows never deletes or replaces a read-only file, which POSIX systems do, and a
// copy takes the mark over from a photo protected in the camera. The mark goes only for the
// change, and comes back when the change fails. False, with the last error set, on failure.
bool deleteFile(const QString &path);
bool replaceFile(const QString &from, const QString &path);

} // namespace platformwin
