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

} // namespace platformwin
