// Names and texts at the system's edge: into UTF-16 from code page 936, and out of UTF-16 into the OEM code page.
#pragma once

#include <string>

// The manifest, the install folder and the program's own texts are code page 936 on every system; the
// W functions take them in UTF-16, whatever code page the system runs in. False for bytes that are not
// code page 936 (wide is then empty).
bool WideFrom936(const std::string& text, std::wstring& wide);
// The same for a system call: empty for bytes that are not code page 936, so that the call fails
// instead of naming some other file.
std::wstring WideFrom936(const std::string& text);
// The way back for a name that came from the system (a typed or browsed folder): false when a
// character has no code page 936 form.
bool Cp936FromWide(const std::wstring& wide, std::string& text);

// text in the system's OEM code page, the one cmd reads a batch file in: false when a character has no
// exact form there. Nothing is ever written as '?' (a wildcard for del) or as a best-fit look-alike.
bool OemFromWide(const std::wstring& text, std::string& bytes);
// True when every character of text has an exact form in the system's ANSI code page.
bool FitsAnsiCodePage(const std::wstring& text);
// The short (8.3) form of an existing file's or folder's path; empty when the system gives none (the
// name does not exist, or short names are off on its volume).
std::wstring ShortPathOf(const std::wstring& path);
