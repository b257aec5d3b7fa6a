// The lines of the uninstall script unload.bat, byte for byte.
#pragma once

#include <string>

// A path as a batch line must hold it for cmd to act on the file that was placed: cmd expands %NAME%
// even inside quotes, so '%' is written as "%%"; and it reads "/x" as a switch even inside quotes,
// so '/' is written as '\'. Done in UTF-16, before the line is put into the script's code page, where
// neither can be part of another character.
std::u16string EscapeForBatch(const std::u16string& path);

// The lines take a path as the script names it: escaped, and in the script's code page.
// del "<name>" CR LF
std::string FileDeleteLine(const std::string& name);

// The script's first line: whatever the user's cmd settings (delayed expansion switched on in the registry or
// with /v:on), the script runs without it, so a '!' in a name stays part of the name and never turns a del
// line into another path.
extern const char kScriptFirstLine[];

// The script's last line, with no line end: it deletes the script itself. "%~f0" is the script's full
// path without quotes, so the line works whether or not cmd was handed the path in quotes.
extern const char kSelfDeleteLine[];

// rd /q/s"<name>" CR LF: no space before the quote.
std::string FolderRemovalLine(const std::string& name);
