// What a folder typed into the chooser means: blanks around it dropped, and whether it is a full path.
#include "shell/typed_folder.h"

#include "engine/path_rules.h"
#include "platform/cp936.h"

namespace {

const char16_t kBlanks[] = u" \t";
const char kSeparators[] = "\\/";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::u16string TrimBlanks(const std::u16string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::u16string::npos)
        return std::u16string();
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

TypedFolder ReadTypedFolder(const std::u16string& text, std::string& folder)
{
    folder.clear();
    const std::u16string trimmed = TrimBlanks(text);
    if (trimmed.empty())
        return TypedFolder::Empty;
    if (!Cp936FromUtf16(trimmed, folder))
        return TypedFolder::NoGbkForm;
    return IsFullFolderPath(folder) ? TypedFolder::Full : TypedFolder::NotFull;
}
