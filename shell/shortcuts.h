// Shell links, special folders and shell change notifications.
#pragma once

#include <windows.h>

// Saves the link folder\linkName pointing at target. COM must be initialised on the calling thread.
// No working folder, arguments or icon location. False when the link could not be saved, also when
// the link path does not fit 260 bytes.
bool CreateShortcut(const char* target, const char* folder, const char* linkName, WORD hotkey,
                    const char* description, int showCmd);

// Fills a caller-owned 260-byte buffer with the path of a special folder (CSIDL_DESKTOP,
// CSIDL_PROGRAMS ...) of the current user; false leaves the buffer untouched.
bool GetSpecialFolderPath(int csidl, char (&path)[MAX_PATH]);

// Tells the shell about event on path, cuts path at its last '\' in place (a trail byte 0x5C of a
// two-byte character is not one), and tells it that the folder above was updated.
void NotifyShellFolder(LONG event, char* path);
