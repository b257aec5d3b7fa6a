// The product folder as the file list sees it: its regular files, and what is reported and left out.
#include "publisher/product_tree.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/list_files.h"

namespace fs = std::filesystem;

const char* const kListFileNames[3] = {kListFileName, kDigestListName, kSignatureName};

namespace {

bool IsListFile(const fs::path& relative)
{
    if (relative.has_parent_path())
        return false;
    const std::string name = relative.string();
    for (const char* listName : kListFileNames)
        // The tools' own outputs, and the new files they are written under first (name.new-XXXXXX).
        if (name == listName || name.rfind(std::string(listName) + ".new", 0) == 0)
            return true;
    return false;
}

}  // namespace

bool ReadProductTree(const std::string& root, ProductTree& tree, std::string& error)
{
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        error = "not a folder";
        return false;
    }
    fs::recursive_directory_iterator walk(root, fs::directory_options::none, ec);
    for (; !ec && walk != fs::recursive_directory_iterator(); walk.increment(ec)) {
        const fs::directory_entry& entry = *walk;
        const fs::path relative = entry.path().lexically_relative(root);
        const fs::file_status status = entry.symlink_status(ec);
        if (ec)
            break;
        if (fs::is_symlink(status)) {
            tree.links.push_back(relative.string());
        } else if (fs::is_directory(status)) {
            if (fs::is_empty(entry.path(), ec))
                tree.emptyFolders.push_back(relative.string());
        } else if (fs::is_regular_file(status)) {
            if (IsListFile(relative))
                continue;
            ProductFile file;
            file.strDiskPath = entry.path().string();
            for (const fs::path& part : relative)
                file.components.push_back(part.string());
            tree.files.push_back(std::move(file));
        } else {
            tree.others.push_back(relative.string());
        }
    }
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}
