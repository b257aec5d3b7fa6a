// The lines of the uninstall script unload.bat, byte for byte.
#include "shell/batch_lines.h"

const char kScriptFirstLine[] = "@setlocal DisableDelayedExpansion\r\n";
const char kSelfDeleteLine[] = "del \"%~f0\"";

std::u16string EscapeForBatch(const std::u16string& path)
{
    std::u16string escaped;
    escaped.reserve(path.size());
    for (const char16_t c : path) {
        escaped.push_back(c == u'/' ? u'\\' : c);
        if (c == u'%')
            escaped.push_back(u'%');
    }
    return escaped;
}

std::string FileDeleteLine(const std::string& name)
{
    return "del \"" + name + "\"\r\n";
}

std::string FolderRemovalLine(const std::string& name)
{
    return "rd /q/s\"" + name + "\"\r\n";
}
