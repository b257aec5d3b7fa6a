// The product folder as the file list sees it: its regular files, and what is reported and left out.
#include "publisher/product_tree.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/list/list_files.h"

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

unique_fd OpenProductFile(const std::string& root, const std::vector<std::string>& components, std::string& error)
{
    unique_fd at(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = 0; at && i < components.size(); ++i) {
        const bool last = i + 1 == components.size();
        // O_NONBLOCK: a pipe swapped in for the file must not hold the run; a regular file reads as usual.
        const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (last ? O_NONBLOCK : O_DIRECTORY);
        at = unique_fd(::openat(at.get(), components[i].c_str(), flags));
    }
    if (!at) {
        error = errno == ELOOP || errno == ENOTDIR ? "a symbolic link or no folder on its path" : std::strerror(errno);
        return unique_fd();
    }
    struct stat status {};
    if (::fstat(at.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        error = "not a regular file";
        return unique_fd();
    }
    return at;
}
