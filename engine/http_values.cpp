// Reading the text values that the HTTP layer hands back: the status code and Content-Length.
#include "engine/http_values.h"

#include <climits>

bool IsSuccessStatus(const char* statusText)
{
    if (statusText == nullptr || statusText[0] != '2')
        return false;
    for (int i = 1; i < 3; ++i)
        if (statusText[i] < '0' || statusText[i] > '9')
            return false;
    return statusText[3] == '\0';
}

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
