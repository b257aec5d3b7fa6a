// File names between the Linux tree (UTF-8) and the file list (code page 936), through glibc's iconv.
#pragma once

#include <string>

// The name in code page 936; false when a character has no code page 936 form or the name is not UTF-8.
bool Utf8ToCp936(const std::string& utf8, std::string& cp936);

// For the tools' reports: the name in UTF-8, or with "\xNN" for bytes that do not read as code page 936.
std::string Cp936ForDisplay(const std::string& cp936);
