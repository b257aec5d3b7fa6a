// What the installer would do with each line of a file list, and why it would refuse one: for the publisher's tools.
#include "engine/list_audit.h"

#include <unordered_map>

namespace {

// The name Windows sees for a line: the installer's same-file key, without final separators.
std::string WindowsName(const std::string& path)
{
    std::string name = SameFileKey(path);
    while (!name.empty() && EndsWithSeparator936(name))
        name.pop_back();
    return name;
}

}  // namespace

const char kDefaultInstallDir936[] = "C:\\Program Files\\Qelmora\\";

std::vector<LineAudit> AuditList(const std::vector<ListEntry>& entries, const std::string& prefix,
                                 const std::string& installDir)
{
    const std::vector<LineKind> kinds = ClassifyLines(entries, prefix);
    std::vector<LineAudit> audits(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& line = entries[i].strText;
        LineAudit& audit = audits[i];
        audit.kind = kinds[i];
        switch (kinds[i]) {
        case LineKind::Folder: {
            // The walk checks a folder line as it stands, without its final separators.
            std::string folder = line;
            while (EndsWithSeparator936(folder))
                folder.pop_back();
            audit.verdict = CheckLocalFolder(installDir, line);
            audit.localBytes = installDir.size() + folder.size();
            break;
        }
        case LineKind::File: {
            // A file lands at its request path less the first folder, below the install folder.
            const std::string local = RelativePathOf(prefix + line);
            audit.verdict = CheckLocalPath(installDir, local);
            audit.localBytes = installDir.size() + local.size();
            break;
        }
        case LineKind::Skipped:
            break;
        }
    }
    return audits;
}

const char* PathVerdictReason(PathVerdict verdict)
{
    switch (verdict) {
    case PathVerdict::Ok:
        return "ok";
    case PathVerdict::Empty:
        return "names no file";
    case PathVerdict::Colon:
        return "holds ':' (a drive or a data stream)";
    case PathVerdict::Rooted:
        return "starts with a separator";
    case PathVerdict::DotDot:
        return "holds a '..' component";
    case PathVerdict::BadChar:
        return "holds a character Windows names cannot hold (<>\"|?*, a control byte or a broken two-byte character)";
    case PathVerdict::BadName:
        return "a name ends in a dot or a space, or there is no file name";
    case PathVerdict::Reserved:
        return "a device name (CON, NUL, COM1 ...) or the download suffix .~qdl";
    case PathVerdict::TooLong:
        return "the local path does not fit 259 bytes below the install folder";
    }
    return "refused";
}

std::string WireObject(const std::string& prefix, const std::string& line)
{
    std::string object = RequestObject(prefix, line);
    std::string wire;
    wire.reserve(object.size());
    size_t from = 0;
    for (size_t at = FindFirstChar936(object, "\\ "); at != std::string::npos;
         at = FindFirstChar936(object, "\\ ", at + 1)) {
        wire.append(object, from, at - from);
        wire += object[at] == ' ' ? "%20" : "/";
        from = at + 1;
    }
    wire.append(object, from, std::string::npos);
    return wire;
}

std::string DigestFileLine(const Sha256Digest& digest, const std::string& lineText)
{
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(64 + 2 + lineText.size() + 1);
    for (unsigned char byte : digest) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0x0F]);
    }
    text += "  ";
    text += lineText;
    text.push_back('\n');
    return text;
}

std::vector<std::pair<size_t, size_t>> FindSameNames(const std::vector<ListEntry>& entries)
{
    std::unordered_map<std::string, size_t> firstLine;     // a line's Windows name -> the first line with it
    std::unordered_map<std::string, size_t> firstFolder;   // a folder above a line -> the first such line
    std::vector<std::pair<size_t, size_t>> same;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string name = WindowsName(entries[i].strText);
        if (name.empty())
            continue;
        const auto line = firstLine.emplace(name, i);
        if (!line.second && entries[line.first->second].strText != entries[i].strText)
            same.emplace_back(line.first->second, i);
        for (size_t sep = FindFirstChar936(name, "\\"); sep != std::string::npos;
             sep = FindFirstChar936(name, "\\", sep + 1))
            firstFolder.emplace(name.substr(0, sep), i);
    }
    // A line spelt like a folder of another line in other letters: the folder is made first, or the file is.
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto folder = firstFolder.find(WindowsName(entries[i].strText));
        if (folder == firstFolder.end())
            continue;
        const std::string& text = entries[i].strText;
        const std::string& other = entries[folder->second].strText;
        const bool spelt = other.compare(0, text.size(), text) == 0;
        if (!spelt && !EndsWithSeparator936(text))
            same.emplace_back(std::min(i, folder->second), std::max(i, folder->second));
    }
    return same;
}
