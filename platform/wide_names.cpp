// Names and texts at the system's edge: into UTF-16 from code page 936, and out of UTF-16 into the OEM code page.
#include "platform/wide_names.h"

#include <windows.h>

#include <climits>

#include "platform/cp936.h"

static_assert(sizeof(char16_t) == sizeof(wchar_t), "UTF-16 units are wchar_t on Windows");

bool WideFrom936(const std::string& text, std::wstring& wide)
{
    std::u16string units;
    if (!Utf16From936(text, units)) {
        wide.clear();
        return false;
    }
    wide.assign(reinterpret_cast<const wchar_t*>(units.data()), units.size());
    return true;
}

std::wstring WideFrom936(const std::string& text)
{
    std::wstring wide;
    WideFrom936(text, wide);
    return wide;
}

bool Cp936FromWide(const std::wstring& wide, std::string& text)
{
    return Cp936FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size()), text);
}

namespace {

// text in codePage, exactly: false when a character has no form there.
bool BytesInCodePage(UINT codePage, const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    if (text.size() > INT_MAX / 4)
        return false;
    const int count = static_cast<int>(text.size());
    // UTF-8 (Windows' "use Unicode UTF-8 for worldwide language support") holds every character; it takes
    // no best-fit flag and no default character, only the refusal of a broken surrogate pair.
    if (codePage == CP_UTF8) {
        const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), count, nullptr, 0,
                                               nullptr, nullptr);
        if (size <= 0)
            return false;
        bytes.resize(static_cast<size_t>(size));
        return ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), count, &bytes[0], size, nullptr,
                                     nullptr) == size;
    }
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), count, nullptr, 0, nullptr,
                                           &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<size_t>(size));
    usedDefault = FALSE;
    if (::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), count, &bytes[0], size, nullptr,
                              &usedDefault) != size ||
        usedDefault) {
        bytes.clear();
        return false;
    }
    return true;
}

}  // namespace

bool OemFromWide(const std::wstring& text, std::string& bytes)
{
    return BytesInCodePage(::GetOEMCP(), text, bytes);
}

bool FitsAnsiCodePage(const std::wstring& text)
{
    std::string bytes;
    return BytesInCodePage(::GetACP(), text, bytes);
}

std::wstring ShortPathOf(const std::wstring& path)
{
    if (path.empty())
        return std::wstring();
    const DWORD size = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring shortPath(size, L'\0');
    const DWORD length = ::GetShortPathNameW(path.c_str(), &shortPath[0], size);
    if (length == 0 || length >= size)
        return std::wstring();
    shortPath.resize(length);
    return shortPath;
}
