// How a manifest line becomes a request path and a local path, and which lines are refused.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Paths are 8-bit strings in code page 936. A byte 0x81..0xFE starts a two-byte character whose second
// byte may be any of 0x40..0xFE, so '\' (0x5C) and '|' (0x7C) can stand inside a character: every search
// for a separator or a special character steps over whole characters.
bool IsLeadByte936(unsigned char c);
// The second byte of a two-byte character: 0x40..0x7E or 0x80..0xFE.
bool IsTrailByte936(unsigned char c);

// Index of the first (last) character of s that is one of the single bytes in set, or npos.
size_t FindFirstChar936(const std::string& s, const char* set, size_t from = 0);
size_t FindLastChar936(const std::string& s, const char* set);

// The manifest's folder on the server: object path up to and including its last '/' ("" without one).
std::string RequestPrefix(const std::string& objectPath);

// A line is fetched only if its request path has a '.' after the first character.
bool IsFetchedLine(const std::string& requestPath);

// The object to ask the server for: the manifest's folder as it stands, then the line with every byte
// that a server would not take raw in a path written as %XX ('%' itself, '#', which would start a
// fragment, DEL and the other characters URLs do not allow raw), and every byte of a two-byte character
// too: the request then carries the same bytes whatever the system's code page (the server reads %XX as
// the byte). Spaces pass as they are; the local path and the script line keep the line unescaped.
std::string RequestObject(const std::string& prefix, const std::string& line);

// True when the last character of s is '\' or '/' (a trail byte 0x5C is not one).
bool EndsWithSeparator936(const std::string& s);
// s's length without its final separators, found in one pass (a line of thousands of them costs no square).
size_t LengthWithoutFinalSeparators936(std::string_view s);

// The request path less everything up to and including its first '/', twice; for the manifest at
// "/Lineinstall_qmra/list.txt" this is exactly the manifest line.
std::string RelativePathOf(const std::string& requestPath);

// Why a line's relative path may not be placed under the install folder.
enum class PathVerdict : unsigned char {
    Ok,
    Empty,      // nothing to name a file
    Colon,      // a drive letter or an alternate data stream
    Rooted,     // starts at a root: "\x", "/x", "\\server\share"
    DotDot,     // a ".." component would climb out of the install folder
    BadChar,    // <>"|?* or a byte below 0x20, or a cut or malformed two-byte character
    BadName,    // a component that Windows would rename (trailing dot or space), or no file name
    Reserved,   // a device name (CON, NUL, COM1, CONIN$ ...) or the download's temporary-file suffix
    TooLong,    // the local path does not fit 260 bytes
    InstallerFile, // unload.bat or list.txt at the install folder's root (or a path below it): the installer's own
};
PathVerdict CheckRelativePath(const std::string& relativePath);
PathVerdict CheckLocalPath(const std::string& installDir, const std::string& relativePath);
// The same rules for a folder line: one or more final separators are allowed and not counted.
PathVerdict CheckLocalFolder(const std::string& installDir, const std::string& relativeFolder);

// A download is written to this name beside its target and moved over the target when complete.
// CheckRelativePath refuses names ending in the suffix, so it can never be a product file's name. The
// temporary name may be longer than 259 bytes: it is opened through its extended-length form.
extern const char kTempSuffix[];
std::string TempPathFor(const std::string& localPath);

// An absolute path as the extended-length ("\\?\") form needs it, which the system takes literally:
// '/' written as '\', runs of separators and "." components dropped. UNC paths keep their leading
// "\\". (".." never reaches here: such lines are refused.)
std::string LiteralPath936(const std::string& absolutePath);

// Equal for two paths that name the same file on Windows: the literal form in UTF-16, upcased as NTFS
// compares names (Latin, full-width, Greek, Cyrillic letters and the rest, not ASCII alone), written as
// UTF-8. A separator stays the byte '\\' in it. The one same-file key of the installer and the tools.
std::string SameFileKey(const std::string& absolutePath);

// A folder the install can be put in as it stands: a drive letter with a separator ("D:\Apps"), or a network
// share ("\\server\share\..."). "Apps", "D:Apps", "\Apps" and "\\server" depend on the current drive or folder,
// or name no folder at all; "\\?\" and "\\.\" name the system's own name spaces. The one test for a typed
// folder, the install folder and a folder the system gave (in UTF-16).
bool IsFullFolderPath(const std::string& folder);
bool IsFullFolderPath(const std::u16string& folder);

// The install folder to use: the typed one with a final separator, or the fallback when it is
// empty or not full.
std::string NormalizeInstallDir(const std::string& folder, const std::string& fallback);

// The folders to create, outermost first, for a file path or a folder path ending in a separator.
// Both '\' and '/' separate; the drive root or UNC share is never in the list.
std::vector<std::string> FolderLevels(const std::string& path);

constexpr size_t kMaxPathBytes = 260;   // MAX_PATH, terminator included
