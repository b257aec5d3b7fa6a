// The install folder a quick install uses, decided once at start-up.
#pragma once

#include <string>

// "C:\Program Files\Qelmora\" where this user can create files there (an elevated start, a Windows without
// UAC); otherwise the per-user programs folder followed by "Qelmora\" (%LOCALAPPDATA%\Programs\Qelmora\),
// named by its short form where it has no code page 936 form. Where it has neither, the machine-wide folder
// stays: the install's own probe then asks the user for another folder. Probed on the first call only, which
// the window's thread makes.
const std::string& DefaultInstallDir();
