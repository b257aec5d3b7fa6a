// Creating the folders that a file path needs.
#include "engine/create_folder_path.h"

#include <windows.h>

#include "engine/path_rules.h"

int CreateFolderPath(const char* pszPath)
{
    if (pszPath == nullptr)
        return 0;
    const std::vector<std::string> levels = FolderLevels(pszPath);
    // Usually every level exists already but the last, or all do: start at the deepest level and climb
    // only as far as a missing parent requires, so that a file among thousands costs one call.
    size_t missing = levels.size();
    while (missing > 0) {
        if (::CreateDirectoryA(levels[missing - 1].c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
            break;
        if (::GetLastError() != ERROR_PATH_NOT_FOUND)
            return 1;   // cannot be made (access denied, a file of that name ...): the file's open tells
        --missing;
    }
    for (size_t i = missing; i < levels.size(); ++i) {
        if (!::CreateDirectoryA(levels[i].c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return 1;
}
