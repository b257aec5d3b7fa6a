// What each manifest line asks for: a file to fetch, a folder to create, or nothing.
#pragma once

#include <string>
#include <vector>

#include "engine/list_entry.h"

enum class LineKind {
    File,      // fetched and placed
    Folder,    // created under the install folder, not fetched
    Skipped,   // no '.' in its request path: not fetched (it still counts for progress)
};

// A line is a folder when it ends in '\' or '/', or when another line of the same manifest starts with
// it followed by a separator (so "plugins.d" with "plugins.d\a.dll" is a folder, as a listing tool
// writes it). Every other line is a file when its request path, prefix + text, has a '.' after its
// first character, and skipped otherwise.
std::vector<LineKind> ClassifyLines(const std::vector<ListEntry>& entries, const std::string& prefix);
