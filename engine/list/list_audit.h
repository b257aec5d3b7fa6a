// How the publisher's tools show what the installer does with a line: refusals, wire objects, digest lines.
#pragma once

#include <cstddef>
#include <string>

#include "engine/list/digest_list.h"
#include "engine/list/path_rules.h"

// A local path longer than this many bytes (install folder included) still installs into the default
// folder, but a user's longer folder may not hold it.
constexpr size_t kRoomyPathBytes = 200;

// A short English reason for a refused path, for the tools' reports.
const char* PathVerdictReason(PathVerdict verdict);

// The object path a line's request carries on the wire: RequestObject's escaping, and every '\' sent
// as '/' as WinINet sends it (a trail byte 0x5C of a two-byte character is already %5C). Spaces go as "%20", the
// one byte WinINet escapes itself.
std::string WireObject(const std::string& prefix, const std::string& line);

// One line of list.sha256: 64 lowercase hex digits, two spaces, the size in bytes, two spaces, the manifest
// line byte for byte, LF.
std::string DigestFileLine(const Sha256Digest& digest, long long size, const std::string& lineText);
