// The write probe: can this user create files in a folder (or in the folders that would be made for it)?
#pragma once

#include <windows.h>

#include <string>

// Creates a uniquely named, hidden temporary file in the deepest folder of folder (a full path in code page
// 936) that exists, and lets the system delete it as it is closed (FILE_FLAG_DELETE_ON_CLOSE), so that
// nothing is left behind. ERROR_SUCCESS when that worked; otherwise the reason: the system's error for the
// file (ERROR_ACCESS_DENIED for a protected folder, ERROR_WRITE_PROTECT for a read-only volume ...),
// ERROR_DIRECTORY where a file stands in the folder's way, ERROR_PATH_NOT_FOUND where not even the drive
// or share is there.
DWORD ProbeWritableFolder(const std::string& folder);

// The error means the disk (or the user's quota) is full.
bool IsDiskFull(DWORD error);
