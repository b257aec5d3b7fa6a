// The signed header at the start of list.sha256: which list this is, until when it holds, and list.txt's digest.
#include "engine/list/list_header.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kHexDigits = 64;
const char kVersionKey[] = "version ";
const char kExpiresKey[] = "expires ";
const char kListKey[] = "list.txt ";

int LowerHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar (H. Hinnant's days_from_civil).
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(long long y, unsigned m)
{
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// The digits of text[at, at + count) as a number; false when one is not a digit.
bool Digits(const std::string& text, size_t at, size_t count, unsigned& value)
{
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

// The next line of data from at, without its LF; false when there is no LF or the line holds a CR.
bool NextLine(const char* data, size_t size, size_t& at, std::string& line)
{
    const void* lf = std::memchr(data + at, '\n', size - at);
    if (lf == nullptr)
        return false;
    const size_t end = static_cast<size_t>(static_cast<const char*>(lf) - data);
    line.assign(data + at, end - at);
    at = end + 1;
    return line.find('\r') == std::string::npos;
}

bool TakeValue(const std::string& line, const char* key, std::string& value)
{
    const size_t n = std::strlen(key);
    if (line.compare(0, n, key) != 0)
        return false;
    value = line.substr(n);
    return true;
}

}  // namespace

bool ParseLowerHexDigest(const char* text, size_t size, Sha256Digest& digest)
{
    if (size != kHexDigits)
        return false;
    for (size_t i = 0; i < digest.size(); ++i) {
        const int high = LowerHexValue(text[2 * i]);
        const int low = LowerHexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}

std::string LowerHex(const Sha256Digest& digest)
{
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0x0F]);
    }
    return text;
}

bool ParseUtcTime(const std::string& text, long long& seconds)
{
    // 0123456789012345678901
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return false;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
        !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 59)
        return false;
    seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

std::string FormatUtcTime(long long seconds)
{
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    long long year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", year, month, day, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return text;
}

bool ParseFileSize(const char* text, size_t size, long long& bytes)
{
    static const char kMax[] = "9223372036854775807";
    if (size == 0 || size > sizeof kMax - 1 || (text[0] == '0' && size > 1))
        return false;
    for (size_t i = 0; i < size; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    if (size == sizeof kMax - 1 && std::memcmp(text, kMax, size) > 0)
        return false;
    bytes = 0;
    for (size_t i = 0; i < size; ++i)
        bytes = bytes * 10 + (text[i] - '0');
    return true;
}

bool ParseListVersion(const std::string& text, long long& version)
{
    return text != "0" && ParseFileSize(text.data(), text.size(), version);
}

bool ReadListHeader(const char* data, size_t size, ListHeader& header, size_t& bodyStart)
{
    size_t at = 0;
    std::string line, value;
    ListHeader read;
    if (!NextLine(data, size, at, line) || line != kListFormatLine)
        return false;
    if (!NextLine(data, size, at, line) || !TakeValue(line, kVersionKey, value) || !ParseListVersion(value, read.version))
        return false;
    if (!NextLine(data, size, at, line) || !TakeValue(line, kExpiresKey, value) || !ParseUtcTime(value, read.expires))
        return false;
    if (!NextLine(data, size, at, line) || !TakeValue(line, kListKey, value) ||
        !ParseLowerHexDigest(value.data(), value.size(), read.listDigest))
        return false;
    header = read;
    bodyStart = at;
    return true;
}

std::string ListHeaderText(const ListHeader& header)
{
    return std::string(kListFormatLine) + "\n" + kVersionKey + std::to_string(header.version) + "\n" + kExpiresKey +
           FormatUtcTime(header.expires) + "\n" + kListKey + LowerHex(header.listDigest) + "\n";
}
