// How a manifest line becomes a request path and a local path, and which lines are refused.
#include "engine/list/path_rules.h"

#include <cstring>

#include "engine/list/windows_case.h"
#include "platform/cp936.h"

namespace {

const char kSeparators[] = "\\/";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EqualsNoCase(const std::string& a, const char* b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (size_t i = 0; i < n; ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

bool EndsWithNoCase(const std::string& s, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return s.size() >= n && EqualsNoCase(s.substr(s.size() - n), suffix);
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, CLOCK$, COM0..9, LPT0..9 name devices in every folder, with
// any extension.
bool IsDeviceName(const std::string& component)
{
    std::string stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* name : kNames)
        if (EqualsNoCase(stem, name))
            return true;
    if (stem.size() == 4 && stem[3] >= '0' && stem[3] <= '9') {
        const std::string head = stem.substr(0, 3);
        return EqualsNoCase(head, "COM") || EqualsNoCase(head, "LPT");
    }
    return false;
}

std::vector<std::string> SplitComponents(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t sep = FindFirstChar936(path, kSeparators, start);
        parts.push_back(path.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos)
            return parts;
        start = sep + 1;
    }
}

// Where the creatable folders of an absolute path begin: after "X:\", after "\\server\share\",
// after a leading "\"; 0 for a relative path.
size_t RootLength(const std::string& path)
{
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]))
        return 3;
    if (path.size() >= 2 && path[1] == ':')
        return 2;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        const size_t server = FindFirstChar936(path, kSeparators, 2);
        if (server == std::string::npos)
            return path.size();
        const size_t share = FindFirstChar936(path, kSeparators, server + 1);
        return share == std::string::npos ? path.size() : share + 1;
    }
    if (!path.empty() && IsSeparator(path[0]))
        return 1;
    return 0;
}

}  // namespace

const char kTempSuffix[] = ".~qdl";

bool IsLeadByte936(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

bool IsTrailByte936(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

size_t FindFirstChar936(const std::string& s, const char* set, size_t from)
{
    for (size_t i = from; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsLeadByte936(c) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        if (c != 0 && std::strchr(set, c) != nullptr)
            return i;
    }
    return std::string::npos;
}

size_t FindLastChar936(const std::string& s, const char* set)
{
    // Scanning backwards cannot tell a trail byte from a character, so scan forwards and remember.
    size_t last = std::string::npos;
    for (size_t i = FindFirstChar936(s, set); i != std::string::npos; i = FindFirstChar936(s, set, i + 1))
        last = i;
    return last;
}

std::string RequestPrefix(const std::string& objectPath)
{
    const size_t slash = FindLastChar936(objectPath, "/");
    return slash == std::string::npos ? std::string() : objectPath.substr(0, slash + 1);
}

bool IsFetchedLine(const std::string& requestPath)
{
    const size_t dot = FindFirstChar936(requestPath, ".");
    return dot != std::string::npos && dot > 0;
}

std::string RequestObject(const std::string& prefix, const std::string& line)
{
    static const char kHex[] = "0123456789ABCDEF";
    const auto escape = [](std::string& object, unsigned char c) {
        object.push_back('%');
        object.push_back(kHex[c >> 4]);
        object.push_back(kHex[c & 0x0F]);
    };
    std::string object = prefix;
    object.reserve(prefix.size() + line.size() * 3);
    for (size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        // Both bytes of a two-byte character, the second also where it reads as '\\' or '|': the object
        // is then plain ASCII, which every code page and every HTTP client passes on unchanged.
        if (IsLeadByte936(c) && i + 1 < line.size()) {
            escape(object, c);
            escape(object, static_cast<unsigned char>(line[++i]));
            continue;
        }
        if (c == 0x7F || c >= 0x80 || std::strchr("%#\"<>^`{|}[]", c) != nullptr)
            escape(object, c);
        else
            object.push_back(line[i]);
    }
    return object;
}

size_t LengthWithoutFinalSeparators936(std::string_view s)
{
    size_t end = 0;   // just after the last character that is not a separator
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsLeadByte936(static_cast<unsigned char>(s[i])) && i + 1 < s.size())
            end = ++i + 1;
        else if (!IsSeparator(s[i]))
            end = i + 1;
    }
    return end;
}

bool EndsWithSeparator936(const std::string& s)
{
    const size_t last = FindLastChar936(s, kSeparators);
    return last != std::string::npos && last + 1 == s.size();
}

std::string RelativePathOf(const std::string& requestPath)
{
    std::string rest = requestPath;
    for (int step = 0; step < 2; ++step) {
        const size_t slash = FindFirstChar936(rest, "/");
        if (slash != std::string::npos)
            rest.erase(0, slash + 1);
    }
    return rest;
}

PathVerdict CheckRelativePath(const std::string& relativePath)
{
    if (relativePath.empty())
        return PathVerdict::Empty;
    if (IsSeparator(relativePath[0]))
        return PathVerdict::Rooted;
    for (size_t i = 0; i < relativePath.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(relativePath[i]);
        if (IsLeadByte936(c)) {
            if (i + 1 >= relativePath.size() || !IsTrailByte936(static_cast<unsigned char>(relativePath[i + 1])))
                return PathVerdict::BadChar;
            ++i;
            continue;
        }
        if (c == ':')
            return PathVerdict::Colon;
        if (c < 0x20 || std::strchr("<>\"|?*", c) != nullptr)
            return PathVerdict::BadChar;
    }
    // A byte with no GBK character (0xFF, a pair the code page leaves undefined) names nothing the system
    // would create as listed.
    std::u16string wide;
    if (!Utf16From936(relativePath, wide))
        return PathVerdict::BadChar;
    const std::vector<std::string> parts = SplitComponents(relativePath);
    for (const std::string& part : parts) {
        if (part == "..")
            return PathVerdict::DotDot;
        if (part.empty() || part == ".")
            continue;
        if (part.back() == '.' || part.back() == ' ')
            return PathVerdict::BadName;
        if (IsDeviceName(part))
            return PathVerdict::Reserved;
        if (part.size() > 255)
            return PathVerdict::TooLong;
    }
    const std::string& name = parts.back();
    if (name.empty() || name == ".")
        return PathVerdict::BadName;
    if (EndsWithNoCase(name, kTempSuffix))
        return PathVerdict::Reserved;
    return PathVerdict::Ok;
}

PathVerdict CheckLocalPath(const std::string& installDir, const std::string& relativePath)
{
    const PathVerdict verdict = CheckRelativePath(relativePath);
    if (verdict != PathVerdict::Ok)
        return verdict;
    return installDir.size() + relativePath.size() < kMaxPathBytes ? PathVerdict::Ok : PathVerdict::TooLong;
}

PathVerdict CheckLocalFolder(const std::string& installDir, const std::string& relativeFolder)
{
    return CheckLocalPath(installDir, relativeFolder.substr(0, LengthWithoutFinalSeparators936(relativeFolder)));
}

std::string TempPathFor(const std::string& localPath) { return localPath + kTempSuffix; }

std::string LiteralPath936(const std::string& absolutePath)
{
    const bool unc = absolutePath.size() >= 2 && IsSeparator(absolutePath[0]) && IsSeparator(absolutePath[1]);
    std::string literal = unc ? "\\\\" : "";
    bool first = true;
    for (const std::string& part : SplitComponents(absolutePath)) {
        if (part.empty() || part == ".")
            continue;
        if (!first)
            literal.push_back('\\');
        literal += part;
        first = false;
    }
    if (EndsWithSeparator936(absolutePath) && !first)
        literal.push_back('\\');
    return literal;
}

std::string SameFileKey(const std::string& absolutePath)
{
    const std::string literal = LiteralPath936(absolutePath);
    std::u16string wide;
    if (!Utf16From936(literal, wide)) {
        // A byte pair this system's table does not know: each character on its own, and one that still
        // does not convert keeps its bytes, as a code point no converted character can have.
        wide.clear();
        for (size_t i = 0; i < literal.size(); ++i) {
            const bool pair = IsLeadByte936(static_cast<unsigned char>(literal[i])) && i + 1 < literal.size();
            const std::string character = literal.substr(i, pair ? 2 : 1);
            std::u16string one;
            if (Utf16From936(character, one)) {
                wide += one;
            } else {
                wide.push_back(0xDBFF);   // a lone high surrogate, then the bytes
                for (unsigned char byte : character)
                    wide.push_back(static_cast<char16_t>(0xDC00 | byte));
            }
            i += pair ? 1 : 0;
        }
    }
    // Upcased as the file system compares names, then written as UTF-8, where '\\' is still one byte.
    std::string key;
    key.reserve(wide.size() * 3);
    for (char16_t c : wide) {
        const unsigned u = UpcaseAsWindows(c);
        if (u < 0x80) {
            key.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            key.push_back(static_cast<char>(0xC0 | (u >> 6)));
            key.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            key.push_back(static_cast<char>(0xE0 | (u >> 12)));
            key.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            key.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return key;
}

namespace {

// A separator's position; in code page 936 text a trail byte 0x5C is none.
size_t FindSeparator(const std::string& s, size_t from) { return FindFirstChar936(s, kSeparators, from); }
size_t FindSeparator(const std::u16string& s, size_t from) { return s.find_first_of(u"\\/", from); }

// The rule reads only ASCII characters, which are the same in code page 936 and in UTF-16.
template <class Text>
bool IsFullFolderText(const Text& folder)
{
    const auto separator = [](auto c) { return c == '\\' || c == '/'; };
    if (folder.size() >= 3 && folder[1] == ':' && separator(folder[2])) {
        const auto drive = folder[0];
        return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    }
    if (folder.size() < 2 || !separator(folder[0]) || !separator(folder[1]))
        return false;
    // \\server\share: both named. "\\?\" and "\\.\" open the system's own name spaces, not a share.
    const size_t serverEnd = FindSeparator(folder, 2);
    if (serverEnd == Text::npos || serverEnd == 2 || (serverEnd == 3 && (folder[2] == '?' || folder[2] == '.')))
        return false;
    const size_t shareEnd = FindSeparator(folder, serverEnd + 1);
    return (shareEnd == Text::npos ? folder.size() : shareEnd) > serverEnd + 1;
}

}  // namespace

bool IsFullFolderPath(const std::string& folder) { return IsFullFolderText(folder); }

bool IsFullFolderPath(const std::u16string& folder) { return IsFullFolderText(folder); }

std::string NormalizeInstallDir(const std::string& folder, const std::string& fallback)
{
    if (!IsFullFolderPath(folder))
        return fallback;
    const size_t lastSep = FindLastChar936(folder, kSeparators);
    if (lastSep == folder.size() - 1)
        return folder;
    return folder + "\\";
}

std::vector<std::string> FolderLevels(const std::string& path)
{
    std::vector<std::string> levels;
    size_t nameStart = RootLength(path);
    for (size_t sep = FindFirstChar936(path, kSeparators, nameStart); sep != std::string::npos;
         sep = FindFirstChar936(path, kSeparators, sep + 1)) {
        // Two separators in a row enclose no folder of their own.
        if (sep > nameStart)
            levels.push_back(path.substr(0, sep));
        nameStart = sep + 1;
    }
    return levels;
}
