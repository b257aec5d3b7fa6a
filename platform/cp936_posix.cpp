// Code page 936 and UTF-16 through glibc's iconv, whose CP936 table is Windows' own (0x80 is the euro sign).
#include "platform/cp936.h"

#include <iconv.h>

#include <vector>

namespace {

// A conversion descriptor, opened once per thread and direction: the publisher's tools convert from several
// threads, and a list's every line is converted when it is classified.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The whole of in converted; false at the first sequence that has no form on the other side.
    bool Convert(const char* in, size_t inBytes, std::vector<char>& out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);   // a fresh start after an earlier failure
        out.resize(inBytes * 4 + 16);
        char* from = const_cast<char*>(in);
        size_t fromLeft = inBytes;
        char* to = out.data();
        size_t toLeft = out.size();
        if (iconv(m_cd, &from, &fromLeft, &to, &toLeft) == static_cast<size_t>(-1) || fromLeft != 0)
            return false;
        out.resize(out.size() - toLeft);
        return true;
    }

private:
    iconv_t m_cd;
};

}  // namespace

bool Utf16From936(const std::string& text, std::u16string& wide)
{
    wide.clear();
    thread_local Iconv cd("UTF-16LE", "CP936");
    std::vector<char> out;
    if (!cd.ok() || !cd.Convert(text.data(), text.size(), out))
        return false;
    wide.resize(out.size() / 2);
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                        static_cast<unsigned char>(out[2 * i + 1]) << 8);
    return true;
}

bool Cp936FromUtf16(const std::u16string& wide, std::string& text)
{
    text.clear();
    std::vector<char> in(wide.size() * 2);
    for (size_t i = 0; i < wide.size(); ++i) {
        in[2 * i] = static_cast<char>(wide[i] & 0xFF);
        in[2 * i + 1] = static_cast<char>(wide[i] >> 8);
    }
    thread_local Iconv cd("CP936", "UTF-16LE");
    std::vector<char> out;
    if (!cd.ok() || !cd.Convert(in.data(), in.size(), out))
        return false;
    text.assign(out.begin(), out.end());
    return true;
}
