// The lines of the uninstall script unload.bat, byte for byte.
#include "shell/batch_lines.h"

#include "engine/path_rules.h"

const char kSelfDeleteLine[] = "del \"%~f0\"";

std::string EscapeForBatch(const std::string& path)
{
    std::string escaped;
    escaped.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (IsLeadByte936(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
            escaped.push_back(c);
            escaped.push_back(path[++i]);
            continue;
        }
        escaped.push_back(c == '/' ? '\\' : c);
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
