// Upper case as Windows' file systems compare names, for every character code page 936 can hold.
#include "engine/list/windows_case.h"

#include <iterator>

namespace {

// A run of lower-case letters and how far below them their upper-case forms stand.
struct CaseRun {
    char16_t first;
    char16_t last;
    char16_t below;   // upper = lower - below
};

// Sorted, without overlaps. Runs with a step of one letter only: the Latin Extended-A/B blocks pair letters
// two by two, and only the pinyin ones are in GBK.
constexpr CaseRun kRuns[] = {
    {0x0061, 0x007A, 0x20},   // a-z
    {0x00E0, 0x00F6, 0x20},   // à-ö
    {0x00F8, 0x00FE, 0x20},   // ø-þ
    {0x0101, 0x0101, 1},      // ā
    {0x0113, 0x0113, 1},      // ē
    {0x011B, 0x011B, 1},      // ě
    {0x012B, 0x012B, 1},      // ī
    {0x0144, 0x0144, 1},      // ń
    {0x0148, 0x0148, 1},      // ň
    {0x014D, 0x014D, 1},      // ō
    {0x016B, 0x016B, 1},      // ū
    {0x01CE, 0x01CE, 1},      // ǎ
    {0x01D0, 0x01D0, 1},      // ǐ
    {0x01D2, 0x01D2, 1},      // ǒ
    {0x01D4, 0x01D4, 1},      // ǔ
    {0x01D6, 0x01D6, 1},      // ǖ
    {0x01D8, 0x01D8, 1},      // ǘ
    {0x01DA, 0x01DA, 1},      // ǚ
    {0x01DC, 0x01DC, 1},      // ǜ
    {0x01F9, 0x01F9, 1},      // ǹ
    {0x03B1, 0x03C1, 0x20},   // α-ρ
    {0x03C2, 0x03C2, 0x1F},   // final ς is Σ too
    {0x03C3, 0x03CB, 0x20},   // σ-ϋ
    {0x0430, 0x044F, 0x20},   // а-я
    {0x0450, 0x045F, 0x50},   // ѐ-џ (ё among them)
    {0x2170, 0x217F, 0x10},   // ⅰ-ⅿ
    {0x24D0, 0x24E9, 0x1A},   // ⓐ-ⓩ
    {0xFF41, 0xFF5A, 0x20},   // ａ-ｚ
};

}  // namespace

char16_t UpcaseAsWindows(char16_t c)
{
    // ɑ and ɡ (pinyin) upcase far away, outside GBK: no two names in code page 936 meet through them.
    if (c == 0x0251)
        return 0x2C6D;
    if (c == 0x0261)
        return 0xA7AC;
    for (const CaseRun& run : kRuns) {
        if (c < run.first)
            break;
        if (c <= run.last)
            return static_cast<char16_t>(c - run.below);
    }
    return c;
}
