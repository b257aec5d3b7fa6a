// Reading the rectangles of a dialog template and mapping dialog units to pixels with given base units.
#include "platform/dialog_layout.h"

namespace {

constexpr uint32_t kSetFont = 0x40;   // DS_SETFONT: a font record follows the title

// A bounds-checked little-endian reader over the template's bytes.
class Reader {
public:
    Reader(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}

    bool ok() const { return m_ok; }

    uint16_t Word()
    {
        if (!Need(2))
            return 0;
        const uint16_t value = static_cast<uint16_t>(m_data[m_pos] | m_data[m_pos + 1] << 8);
        m_pos += 2;
        return value;
    }
    uint32_t Dword()
    {
        const uint32_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    int Short() { return static_cast<int16_t>(Word()); }
    void Skip(size_t bytes)
    {
        if (Need(bytes))
            m_pos += bytes;
    }
    void AlignDword() { Skip((4 - m_pos % 4) % 4); }

    // A sz_Or_Ord field: nothing, 0xFFFF and an ordinal, or a NUL-terminated UTF-16 string.
    void SkipSzOrOrd()
    {
        const uint16_t first = Word();
        if (first == 0xFFFF)
            Word();
        else
            SkipStringAfter(first);
    }
    void SkipString() { SkipStringAfter(Word()); }

private:
    bool Need(size_t bytes)
    {
        if (!m_ok || m_size - m_pos < bytes)
            m_ok = false;
        return m_ok;
    }
    void SkipStringAfter(uint16_t first)
    {
        for (uint16_t c = first; c != 0 && m_ok;)
            c = Word();
    }

    const unsigned char* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

DialogUnitRect ReadRect(Reader& in)
{
    DialogUnitRect rect;
    rect.x = in.Short();
    rect.y = in.Short();
    rect.cx = in.Short();
    rect.cy = in.Short();
    return rect;
}

int MulDivRound(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

bool ReadDialogLayout(const unsigned char* data, size_t size, DialogLayout& layout)
{
    Reader in(data, size);
    const uint16_t version = in.Word();
    const uint16_t signature = in.Word();
    const bool extended = version == 1 && signature == 0xFFFF;
    if (extended) {
        in.Dword();   // help id
        in.Dword();   // extended style
        layout.style = in.Dword();
    } else {
        layout.style = version | static_cast<uint32_t>(signature) << 16;
        in.Dword();   // extended style
    }
    const uint16_t count = in.Word();
    layout.rect = ReadRect(in);
    in.SkipSzOrOrd();   // menu
    in.SkipSzOrOrd();   // window class
    in.SkipString();    // title
    if ((layout.style & kSetFont) != 0) {
        in.Word();                   // point size
        if (extended)
            in.Skip(4);              // weight, italic, character set
        in.SkipString();             // face name
    }

    layout.items.clear();
    for (uint16_t i = 0; i < count && in.ok(); ++i) {
        in.AlignDword();
        DialogItemLayout item;
        if (extended) {
            in.Dword();   // help id
            in.Dword();   // extended style
            in.Dword();   // style
            item.rect = ReadRect(in);
            item.id = static_cast<int32_t>(in.Dword());
        } else {
            in.Dword();   // style
            in.Dword();   // extended style
            item.rect = ReadRect(in);
            item.id = static_cast<int16_t>(in.Word());
        }
        in.SkipSzOrOrd();   // class
        in.SkipSzOrOrd();   // text
        in.Skip(in.Word());   // creation data
        layout.items.push_back(item);
    }
    return in.ok();
}

DialogUnitRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits units)
{
    DialogUnitRect pixels;
    pixels.x = MulDivRound(rect.x, units.x, 4);
    pixels.y = MulDivRound(rect.y, units.y, 8);
    pixels.cx = MulDivRound(rect.cx, units.x, 4);
    pixels.cy = MulDivRound(rect.cy, units.y, 8);
    return pixels;
}
