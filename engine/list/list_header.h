// The signed header at the start of list.sha256: which list this is, until when it holds, and list.txt's digest.
#pragma once

#include <cstddef>
#include <string>

#include "engine/list/sha256_digest.h"

// list.sha256 starts with exactly these four lines, each ending in LF:
//   qelmora-list 2
//   version N                      (1 to 9223372036854775807, decimal, no leading zero)
//   expires YYYY-MM-DDTHH:MM:SSZ   (UTC)
//   list.txt <64 lowercase hex>    (SHA-256 of list.txt's bytes as served)
// then one digest line per file line (digest, size, line). The signature covers them all, so the list.txt digest binds every
// byte of the list (folder lines, skipped lines, line ends) and the version and expiry cannot be replayed
// with another list or past their time.
struct ListHeader {
    long long version = 0;
    long long expires = 0;   // seconds since 1970-01-01T00:00:00Z
    Sha256Digest listDigest{};
};

// Format 1 named no sizes; a list in it is refused like any list that cannot be read.
inline constexpr char kListFormatLine[] = "qelmora-list 2";

// The header at the start of data; false when the first four lines are not exactly the above. bodyStart is
// then the offset of the first digest line.
bool ReadListHeader(const char* data, size_t size, ListHeader& header, size_t& bodyStart);
// The four lines for header, as ReadListHeader reads them.
std::string ListHeaderText(const ListHeader& header);

// "YYYY-MM-DDTHH:MM:SSZ" (years 0000 to 9999, a real date and time) to seconds since 1970; false otherwise.
bool ParseUtcTime(const std::string& text, long long& seconds);
std::string FormatUtcTime(long long seconds);
// A version as the header writes it: decimal, 1 to 9223372036854775807, no sign, no leading zero.
bool ParseListVersion(const std::string& text, long long& version);
// A file's size as a digest line writes it: decimal, 0 to 9223372036854775807, no sign, no leading zero.
bool ParseFileSize(const char* text, size_t size, long long& bytes);

// 64 lowercase hex digits into 32 bytes; false for anything else (upper case included).
bool ParseLowerHexDigest(const char* text, size_t size, Sha256Digest& digest);
std::string LowerHex(const Sha256Digest& digest);
