// What a folder typed into the chooser means: blanks around it dropped, and whether it is a full path.
#pragma once

#include <string>

// The text without leading and trailing spaces and tabs.
std::u16string TrimBlanks(const std::u16string& text);

enum class TypedFolder {
    Empty,      // nothing typed: the install keeps its folder
    Full,       // usable as it stands
    NotFull,    // refused: the user is asked for a full path
    NoGbkForm,  // refused: a character has no code page 936 form, in which every installed path is formed
};
// Reads the chooser's text as typed or pasted (UTF-16); folder receives the trimmed text in code page 936.
TypedFolder ReadTypedFolder(const std::u16string& text, std::string& folder);
