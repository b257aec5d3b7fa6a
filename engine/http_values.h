// Reading the text values that the HTTP layer hands back (status, lengths, ranges) and writing the range request.
#pragma once

#include <string>

#include "engine/list/wire_rules.h"

// Decimal value as C's atol reads it: leading blanks skipped, an optional sign, digits up to the first
// other byte; no digits give 0. Values beyond the 64-bit range saturate.
long long ParseDecimalPrefix(const char* text);

// A Content-Length value read as ParseDecimalPrefix reads it; false when the text holds no digits at
// all, so that a header without a number counts as no header (read the body to its end) rather than 0.
bool ParseContentLength(const char* text, long long* length);

// A Content-Range value "bytes FIRST-LAST/TOTAL" as a 206 answer carries it; total is -1 for "*".
struct ContentRange {
    long long first = 0;
    long long last = 0;
    long long total = -1;
};
// False for anything else: another unit, a missing or reversed bound, "bytes */TOTAL" (what a 416
// carries), trailing bytes.
bool ParseContentRange(const char* text, ContentRange* range);

// What to do with the answer to a request for the bytes of a file from offset on, the file being
// length bytes long when its first answer came.
enum class RangeAnswer {
    Append,     // 206 for exactly the rest of that same file: the body goes after the kept bytes
    Restart,    // another 2xx (a server without ranges, or a changed file): the body is the whole file
    Unusable,   // a 206 for other bytes or another length, 416, any error: keep nothing of this answer
};
RangeAnswer JudgeRangeAnswer(const char* statusText, const char* contentRange, long long offset, long long length);

// The value for If-Range: a strong ETag, else Last-Modified; empty when the answer gave neither (its
// bytes then cannot be told apart from another version's, and a broken download starts over).
std::string IfRangeValidator(const std::string& etag, const std::string& lastModified);

// The extra request headers that ask for the bytes from offset on of the version validator names.
std::string RangeRequestHeaders(long long offset, const std::string& validator);
