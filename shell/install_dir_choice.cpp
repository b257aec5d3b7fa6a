// The folder a quick install offers: where a folder's write probe looks, and the per-user folder's name.
#include "shell/install_dir_choice.h"

#include "engine/list/path_rules.h"
#include "platform/cp936.h"

namespace {

const char kProductFolder[] = "Qelmora\\";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "C:\" of a drive path, "\\server\share\" of a share; empty for anything else.
std::string RootOf(const std::string& folder)
{
    if (!IsFullFolderPath(folder))
        return std::string();
    if (folder[1] == ':')
        return folder.substr(0, 3);
    const size_t server = FindFirstChar936(folder, "\\/", 2);
    const size_t share = server == std::string::npos ? server : FindFirstChar936(folder, "\\/", server + 1);
    return share == std::string::npos ? folder + "\\" : folder.substr(0, share + 1);
}

std::string ProductFolderIn(const std::string& programs)
{
    if (programs.empty() || !IsFullFolderPath(programs))
        return std::string();
    // A trail byte 0x5C of a two-byte character is no separator: only a real one at the end is kept.
    const std::vector<std::string> levels = FolderLevels(programs + "\\");
    const std::string base = levels.empty() ? RootOf(programs) : levels.back() + "\\";
    return base + kProductFolder;
}

}  // namespace

std::vector<std::string> ProbeFolders(const std::string& folder)
{
    std::vector<std::string> folders;
    const std::string root = RootOf(folder);
    if (root.empty())
        return folders;
    const std::vector<std::string> levels = FolderLevels(IsSeparator(folder.back()) ? folder : folder + "\\");
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        folders.push_back(*level);
    folders.push_back(root);
    return folders;
}

std::string PerUserInstallDir(const std::u16string& programs, const std::u16string& shortPrograms)
{
    std::string text;
    if (!programs.empty() && Cp936FromUtf16(programs, text))
        return ProductFolderIn(text);
    if (!shortPrograms.empty() && Cp936FromUtf16(shortPrograms, text))
        return ProductFolderIn(text);
    return std::string();
}
