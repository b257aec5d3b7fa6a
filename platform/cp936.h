// The one crossing from the stored formats' code page 936 (GBK) to UTF-16, on Windows and on Linux alike.
#pragma once

#include <string>

// The manifest, the program's texts and the default folder are code page 936 on every system; Windows and
// the case rules of its file systems work in UTF-16. False for bytes that are not code page 936 (a cut or
// malformed two-byte character): such a name is refused, never guessed at.
bool Utf16From936(const std::string& text, std::u16string& wide);
// The way back, for names that came from the system (a typed or browsed folder): false when a character has
// no code page 936 form, so that nothing is ever turned into '?'.
bool Cp936FromUtf16(const std::u16string& wide, std::string& text);
