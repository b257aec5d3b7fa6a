// What a folder typed into the chooser means: blanks around it dropped, and whether it is a full path.
#include "shell/typed_folder.h"

#include "engine/list/path_rules.h"
#include "platform/cp936.h"

namespace {

const char16_t kBlanks[] = u" \t";

}  // namespace

std::u16string TrimBlanks(const std::u16string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::u16string::npos)
        return std::u16string();
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
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
