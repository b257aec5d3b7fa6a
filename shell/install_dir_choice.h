// The folder a quick install offers: where a folder's write probe looks, and the per-user folder's name.
#pragma once

#include <string>
#include <vector>

// The folders a probe of folder (a full path in code page 936) looks at, deepest first and down to its
// drive root or share: the deepest that exists is where a file would be created first.
std::vector<std::string> ProbeFolders(const std::string& folder);

// The per-user install folder in code page 936, in which every installed path is formed: programs (the
// user's programs folder, UTF-16) followed by "\Qelmora\". Where programs has no code page 936 form, its
// short (8.3) form shortPrograms stands in (empty when the system gives none). Empty when neither has
// one, or the folder is not a full path.
std::string PerUserInstallDir(const std::u16string& programs, const std::u16string& shortPrograms);
