// Whether the uninstall link must ask for elevation: an elevated install into the machine-wide folder.
#pragma once

#include <string>

// True when this process runs elevated (an administrator's full token, or a Windows without UAC) and folder
// (code page 936) is the machine-wide install folder or lies under a Program Files folder: its files can then be
// removed only with the same rights, so the uninstall link asks for them. A per-user install's link asks nothing.
bool UninstallNeedsElevation(const std::string& folder);
