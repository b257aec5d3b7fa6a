// One manifest line: its 0-based position in list.txt and its text.
#pragma once

#include <string>

struct ListEntry {
    int nLine = 0;
    std::string strText;
};
