// File names between the Linux tree (UTF-8) and the file list (code page 936), through glibc's iconv.
#include "publisher/gbk_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "publisher/owners.h"

namespace {

// The whole of text converted; false at the first byte sequence iconv cannot take or give.
bool Convert(const char* to, const char* from, const std::string& text, std::string& out)
{
    unique_iconv cd(iconv_open(to, from));
    if (!cd)
        return false;
    std::vector<char> buffer(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outAt = buffer.data();
    size_t outLeft = buffer.size();
    if (iconv(cd.get(), &in, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    out.assign(buffer.data(), static_cast<size_t>(outAt - buffer.data()));
    return true;
}

}  // namespace

bool Utf8ToCp936(const std::string& utf8, std::string& cp936)
{
    return Convert("CP936", "UTF-8", utf8, cp936);
}

std::string Cp936ForDisplay(const std::string& cp936)
{
    // Control bytes are shown escaped too, so that one name stays on one report line. Printable ASCII, most
    // of a list, needs no conversion.
    if (std::all_of(cp936.begin(), cp936.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return cp936;
    std::string text;
    const bool readable = Convert("UTF-8", "CP936", cp936, text);
    if (!readable)
        text = cp936;
    std::string shown;
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F && (readable || c < 0x80)) {
            shown.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown;
}
