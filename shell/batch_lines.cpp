// The lines of the uninstall script unload.bat, byte for byte.
#include "shell/batch_lines.h"

const char kSelfDeleteLine[] = "del \"%~f0\"";

std::string EscapeForBatch(const std::string& path)
{
    std::string escaped;
    escaped.reserve(path.size());
    for (char c : path) {
        escaped.push_back(c);
        if (c == '%')
            escaped.push_back('%');
    }
    return escaped;
}

std::string FileDeleteLine(const std::string& path)
{
    return "del \"" + EscapeForBatch(path) + "\"\r\n";
}

std::string FolderRemovalLine(const std::string& folder)
{
    return "rd /q/s\"" + EscapeForBatch(folder) + "\"\r\n";
}
