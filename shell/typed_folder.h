// What a folder typed into the chooser means: blanks around it dropped, and whether it is a full path.
#pragma once

#include <string>

// The text without leading and trailing spaces and tabs. A two-byte character never ends in one of
// them (trail bytes are 0x40..0xFE), so trimming cannot cut a character.
std::string TrimBlanks(const std::string& text);

// A folder the install can be put in as it stands: a drive letter with a separator ("D:\Apps"), or a
// network share ("\\server\share\..."). "Apps", "D:Apps", "\Apps" and "\\server" depend on the current
// drive or folder, or name no folder at all.
bool IsFullFolderPath(const std::string& folder);

enum class TypedFolder {
    Empty,     // nothing typed: the install keeps its folder
    Full,      // usable as it stands
    NotFull,   // refused: the user is asked for a full path
};
// Reads the chooser's text; folder receives the trimmed text.
TypedFolder ReadTypedFolder(const std::string& text, std::string& folder);
