// Creating the folders that a file path needs.
#include "engine/create_folder_path.h"

#include <windows.h>

#include "engine/path_rules.h"

int CreateFolderPath(const char* pszPath)
{
    if (pszPath == nullptr)
        return 0;
    for (const std::string& folder : FolderLevels(pszPath)) {
        if (!::CreateDirectoryA(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return 1;
}
