// Reading the text values that the HTTP layer hands back (status, lengths, ranges) and writing the range request.
#include "engine/http_values.h"

#include <climits>
#include <cstring>

long long ParseDecimalPrefix(const char* text)
{
    if (text == nullptr)
        return 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = (*text++ == '-');
    unsigned long long value = 0;
    bool saturated = false;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const unsigned digit = static_cast<unsigned>(*text - '0');
        if (value > (static_cast<unsigned long long>(LLONG_MAX) - digit) / 10) {
            saturated = true;
            break;
        }
        value = value * 10 + digit;
    }
    if (saturated)
        return negative ? LLONG_MIN : LLONG_MAX;
    const long long signedValue = static_cast<long long>(value);
    return negative ? -signedValue : signedValue;
}

bool ParseContentLength(const char* text, long long* length)
{
    if (text == nullptr)
        return false;
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    *length = ParseDecimalPrefix(text);
    return true;
}

namespace {

// Digits only, at least one, no sign or blank; advances text past them. False on overflow.
bool ReadDigits(const char*& text, long long* value)
{
    if (*text < '0' || *text > '9')
        return false;
    long long result = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        if (result > (LLONG_MAX - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    *value = result;
    return true;
}

}  // namespace

bool ParseContentRange(const char* text, ContentRange* range)
{
    if (text == nullptr)
        return false;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (std::strncmp(text, "bytes ", 6) != 0)
        return false;
    text += 6;
    while (*text == ' ')
        ++text;
    ContentRange parsed;
    if (!ReadDigits(text, &parsed.first) || *text++ != '-' || !ReadDigits(text, &parsed.last) || *text++ != '/')
        return false;
    if (*text == '*')
        ++text;
    else if (!ReadDigits(text, &parsed.total))
        return false;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text != '\0' || parsed.last < parsed.first || (parsed.total >= 0 && parsed.last >= parsed.total))
        return false;
    *range = parsed;
    return true;
}

RangeAnswer JudgeRangeAnswer(const char* statusText, const char* contentRange, long long offset, long long length)
{
    if (!IsSuccessStatus(statusText))
        return RangeAnswer::Unusable;
    if (IsWholeBodyStatus(statusText))
        return RangeAnswer::Restart;   // the whole file again, from its first byte
    ContentRange range;
    if (!ParseContentRange(contentRange, &range) || range.first != offset || range.total != length)
        return RangeAnswer::Unusable;
    return RangeAnswer::Append;
}

std::string IfRangeValidator(const std::string& etag, const std::string& lastModified)
{
    // A weak ETag ("W/...") may name another version with the same meaning: never for bytes to join.
    const std::string& validator = !etag.empty() && etag.compare(0, 2, "W/") != 0 ? etag : lastModified;
    // It goes into a request header as it is: a line break in it would start another header.
    if (validator.find_first_of("\r\n") != std::string::npos)
        return std::string();
    return validator;
}

std::string RangeRequestHeaders(long long offset, const std::string& validator)
{
    return "Range: bytes=" + std::to_string(offset) + "-\r\nIf-Range: " + validator + "\r\n";
}
