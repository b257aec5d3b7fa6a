// Creating the folders that a file path needs.
#include "engine/create_folder_path.h"

#include <windows.h>

#include "engine/list/path_rules.h"
#include "platform/wide_names.h"

int CreateFolderPath(const char* pszPath)
{
    if (pszPath == nullptr)
        return 0;
    std::vector<std::wstring> levels;
    for (const std::string& level : FolderLevels(pszPath)) {
        levels.emplace_back();
        if (!WideFrom936(level, levels.back()))
            return 1;   // not code page 936: no folder of that name, and the file's open fails
    }
    // Usually every level exists already but the last, or all do: start at the deepest level and climb
    // only as far as a missing parent requires, so that a file among thousands costs one call.
    size_t missing = levels.size();
    while (missing > 0) {
        if (::CreateDirectoryW(levels[missing - 1].c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
            break;
        if (::GetLastError() != ERROR_PATH_NOT_FOUND)
            return 1;   // cannot be made (access denied, a file of that name ...): the file's open tells
        --missing;
    }
    for (size_t i = missing; i < levels.size(); ++i) {
        if (!::CreateDirectoryW(levels[i].c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return 1;
}
