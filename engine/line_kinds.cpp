// What each manifest line asks for: a file to fetch, a folder to create, or nothing.
#include "engine/line_kinds.h"

#include <unordered_set>

#include "engine/path_rules.h"

std::vector<LineKind> ClassifyLines(const std::vector<ListEntry>& entries, const std::string& prefix)
{
    // Every text that stands before a separator in some line names a folder of that line.
    std::unordered_set<std::string> parents;
    for (const ListEntry& entry : entries) {
        const std::string& text = entry.strText;
        for (size_t sep = FindFirstChar936(text, "\\/"); sep != std::string::npos;
             sep = FindFirstChar936(text, "\\/", sep + 1))
            parents.insert(text.substr(0, sep));
    }

    std::vector<LineKind> kinds;
    kinds.reserve(entries.size());
    for (const ListEntry& entry : entries) {
        const std::string& text = entry.strText;
        if (EndsWithSeparator936(text) || (!text.empty() && parents.count(text) != 0))
            kinds.push_back(LineKind::Folder);
        else if (IsFetchedLine(prefix + text))
            kinds.push_back(LineKind::File);
        else
            kinds.push_back(LineKind::Skipped);
    }
    return kinds;
}
