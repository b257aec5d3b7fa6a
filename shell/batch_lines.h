// The lines of the uninstall script unload.bat, byte for byte.
#pragma once

#include <string>

// cmd expands %NAME% even inside quotes; a path's own '%' is written as "%%" so that the line deletes
// the file that was placed.
std::string EscapeForBatch(const std::string& path);

// del "<path>" CR LF
std::string FileDeleteLine(const std::string& path);

// The script's last line, with no line end: it deletes the script itself. "%~f0" is the script's full
// path without quotes, so the line works whether or not cmd was handed the path in quotes.
extern const char kSelfDeleteLine[];

// rd /q/s"<folder>" CR LF: no space before the quote.
std::string FolderRemovalLine(const std::string& folder);
