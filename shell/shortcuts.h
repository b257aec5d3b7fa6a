// Shell links, special folders and shell change notifications.
#pragma once

#include <windows.h>

#include <string>

// Saves the link folder\linkName pointing at target, under its Unicode name. COM must be initialised on
// the calling thread. No working folder, arguments or icon location; a hotkey of 0 sets none. runAsAdministrator:
// the link asks for elevation when it is opened (SLDF_RUNAS_USER). False when the link could not be saved,
// also when the link path does not fit MAX_PATH characters.
bool CreateShortcut(const std::wstring& target, const std::wstring& folder, const std::wstring& linkName,
                    WORD hotkey, const std::wstring& description, int showCmd, bool runAsAdministrator = false);

// The path of a special folder (CSIDL_DESKTOP, CSIDL_PROGRAMS ...) of the current user; false when the
// shell gives none.
bool GetSpecialFolderPath(int csidl, std::wstring& path);

// Tells the shell about event on path, cuts path at its last '\' in place, and tells it that the
// folder above was updated.
void NotifyShellFolder(LONG event, std::wstring& path);
