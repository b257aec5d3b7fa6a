// What a folder typed into the chooser means: blanks around it dropped, and whether it is a full path.
#include "shell/typed_folder.h"

#include "engine/path_rules.h"

namespace {

const char kBlanks[] = " \t";
const char kSeparators[] = "\\/";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string TrimBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool IsFullFolderPath(const std::string& folder)
{
    if (folder.size() >= 3 && folder[1] == ':' && IsSeparator(folder[2])) {
        const char drive = folder[0];
        return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    }
    if (folder.size() < 2 || !IsSeparator(folder[0]) || !IsSeparator(folder[1]))
        return false;
    // \\server\share: both named. "\\?\" and "\\.\" open the system's own name spaces, not a share.
    const size_t serverEnd = FindFirstChar936(folder, kSeparators, 2);
    if (serverEnd == std::string::npos || serverEnd == 2)
        return false;
    const std::string server = folder.substr(2, serverEnd - 2);
    if (server == "?" || server == ".")
        return false;
    const size_t shareEnd = FindFirstChar936(folder, kSeparators, serverEnd + 1);
    const size_t shareLength = (shareEnd == std::string::npos ? folder.size() : shareEnd) - (serverEnd + 1);
    return shareLength > 0;
}

TypedFolder ReadTypedFolder(const std::string& text, std::string& folder)
{
    folder = TrimBlanks(text);
    if (folder.empty())
        return TypedFolder::Empty;
    return IsFullFolderPath(folder) ? TypedFolder::Full : TypedFolder::NotFull;
}
