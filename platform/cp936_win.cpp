// Code page 936 and UTF-16 through the system's own tables (MultiByteToWideChar / WideCharToMultiByte).
#include "platform/cp936.h"

#include <windows.h>

#include <climits>

namespace {
constexpr UINT kCodePage936 = 936;
}

bool Utf16From936(const std::string& text, std::u16string& wide)
{
    wide.clear();
    if (text.empty())
        return true;
    if (text.size() > INT_MAX)
        return false;
    const int bytes = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(kCodePage936, MB_ERR_INVALID_CHARS, text.data(), bytes, nullptr, 0);
    if (units <= 0)
        return false;
    wide.resize(static_cast<size_t>(units));
    static_assert(sizeof(char16_t) == sizeof(wchar_t), "UTF-16 units are wchar_t on Windows");
    return ::MultiByteToWideChar(kCodePage936, MB_ERR_INVALID_CHARS, text.data(), bytes,
                                 reinterpret_cast<wchar_t*>(&wide[0]), units) == units;
}

bool Cp936FromUtf16(const std::u16string& wide, std::string& text)
{
    text.clear();
    if (wide.empty())
        return true;
    if (wide.size() > INT_MAX / 2)
        return false;
    const wchar_t* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int count = static_cast<int>(wide.size());
    // No best-fit substitutes ('é' must not quietly become 'e') and no default character: a name without a
    // code page 936 form is refused.
    BOOL usedDefault = FALSE;
    const int bytes = ::WideCharToMultiByte(kCodePage936, WC_NO_BEST_FIT_CHARS, units, count, nullptr, 0, nullptr,
                                            &usedDefault);
    if (bytes <= 0 || usedDefault)
        return false;
    text.resize(static_cast<size_t>(bytes));
    usedDefault = FALSE;
    return ::WideCharToMultiByte(kCodePage936, WC_NO_BEST_FIT_CHARS, units, count, &text[0], bytes, nullptr,
                                 &usedDefault) == bytes &&
           !usedDefault;
}
