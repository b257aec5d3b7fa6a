// What the installer would do with each line of a file list, and why it would refuse one: for the publisher's tools.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "engine/digest_list.h"
#include "engine/line_kinds.h"
#include "engine/list_entry.h"
#include "engine/path_rules.h"

// The folder a quick install uses; the publisher's tools measure local paths below it.
extern const char kDefaultInstallDir936[];

// A local path longer than this many bytes (install folder included) still installs into the default
// folder, but a user's longer folder may not hold it.
constexpr size_t kRoomyPathBytes = 200;

struct LineAudit {
    LineKind kind = LineKind::Skipped;
    PathVerdict verdict = PathVerdict::Ok;   // for files and folders: Ok, or why the installer refuses the line
    size_t localBytes = 0;                   // the local path's bytes, install folder included
};

// One audit per line, as the install walk decides for the manifest whose object path starts with prefix
// (RequestPrefix of the manifest's object) when installing into installDir.
std::vector<LineAudit> AuditList(const std::vector<ListEntry>& entries, const std::string& prefix,
                                 const std::string& installDir);

// A short English reason for a refused path, for the tools' reports.
const char* PathVerdictReason(PathVerdict verdict);

// The object path a line's request carries on the wire: RequestObject's escaping, and every '\' sent
// as '/' as WinINet sends it (a trail byte 0x5C of a two-byte character is already %5C). Spaces go as "%20", the
// one byte WinINet escapes itself.
std::string WireObject(const std::string& prefix, const std::string& line);

// One line of list.sha256: 64 lowercase hex digits, two spaces, the manifest line byte for byte, LF.
std::string DigestFileLine(const Sha256Digest& digest, const std::string& lineText);

// Lines that name one file or folder on Windows, which ignores the case of Latin letters and reads '/'
// as '\': for each such line, (the earlier line, this line). A file's name that is another line's folder
// counts too ("A.txt" and "a.txt\\b.dll").
std::vector<std::pair<size_t, size_t>> FindSameNames(const std::vector<ListEntry>& entries);
