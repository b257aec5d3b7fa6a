// The installer's wire rules, which qelmora-check follows too: what it sends, how long it waits, which answer it keeps.
#include "engine/list/wire_rules.h"

#include <cstring>

bool IsSuccessStatus(const char* statusText)
{
    if (statusText == nullptr || statusText[0] != '2')
        return false;
    for (int i = 1; i < 3; ++i)
        if (statusText[i] < '0' || statusText[i] > '9')
            return false;
    return statusText[3] == '\0';
}

bool IsWholeBodyStatus(const char* statusText)
{
    return IsSuccessStatus(statusText) && std::strcmp(statusText, "206") != 0;
}
