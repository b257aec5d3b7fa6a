// Dialog templates read back as rectangles, and their mapping to pixels with fixed base units.
#include "platform/dialog_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes template bytes as the resource compiler lays them out.
class TemplateBytes {
public:
    TemplateBytes& Word(unsigned v)
    {
        bytes.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
        return *this;
    }
    TemplateBytes& Dword(unsigned long v) { return Word(v & 0xFFFF).Word(v >> 16 & 0xFFFF); }
    TemplateBytes& Rect(int x, int y, int cx, int cy) { return Word(x & 0xFFFF).Word(y & 0xFFFF).Word(cx).Word(cy); }
    TemplateBytes& Text(const std::u16string& s)
    {
        for (char16_t c : s)
            Word(c);
        return Word(0);
    }
    TemplateBytes& Align()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
        return *this;
    }
    std::vector<unsigned char> bytes;
};

constexpr unsigned long kStyle = 0x90080040;   // pop-up, visible, system menu, DS_SETFONT

// The main window's template as it is built: 宋体 9 pt, controls of every kind of field.
TemplateBytes MainLikeTemplate()
{
    TemplateBytes t;
    t.Word(1).Word(0xFFFF).Dword(0).Dword(0x00040000).Dword(kStyle).Word(3).Rect(0, 0, 390, 198);
    t.Word(0).Word(0).Text(u"");                                   // no menu, default class, no title
    t.Word(9).Word(0).Word(0x0100).Text(u"\u5b8b\u4f53");           // 9 pt, weight 0, italic 0, charset 1
    t.Align().Dword(0).Dword(0).Dword(0x50010000).Rect(166, 122, 145, 29).Dword(1001);
    t.Text(u"Button").Text(u"").Word(0);
    t.Align().Dword(0).Dword(0).Dword(0x40000A0E).Rect(7, 3, 138, 81).Dword(0xFFFFFFFF);
    t.Word(0xFFFF).Word(0x0082).Word(0xFFFF).Word(133).Word(0);     // ordinal class and text
    t.Align().Dword(0).Dword(0x20).Dword(0x48010003).Rect(9, 182, 28, 10).Dword(1015);
    t.Text(u"Button").Text(u"\u540c\u610f").Word(4).Dword(0xABCDEF01);   // with creation data
    return t;
}

}  // namespace

TEST(DialogLayout, ExtendedTemplateGivesTheDialogAndEveryItemInOrder)
{
    const TemplateBytes t = MainLikeTemplate();
    DialogLayout layout;
    ASSERT_TRUE(ReadDialogLayout(t.bytes.data(), t.bytes.size(), layout));
    EXPECT_EQ(layout.style, kStyle);
    EXPECT_EQ(layout.rect.cx, 390);
    EXPECT_EQ(layout.rect.cy, 198);
    ASSERT_EQ(layout.items.size(), 3u);
    EXPECT_EQ(layout.items[0].id, 1001);
    EXPECT_EQ(layout.items[0].rect.x, 166);
    EXPECT_EQ(layout.items[0].rect.cy, 29);
    EXPECT_EQ(layout.items[1].id, -1);
    EXPECT_EQ(layout.items[1].rect.cx, 138);
    EXPECT_EQ(layout.items[2].id, 1015);
    EXPECT_EQ(layout.items[2].rect.y, 182);
}

TEST(DialogLayout, PlainTemplateWithAndWithoutFont)
{
    for (const bool withFont : {true, false}) {
        TemplateBytes t;
        const unsigned long style = withFont ? 0x80C80040UL : 0x80C80000UL;
        t.Dword(style).Dword(0).Word(2).Rect(-5, 7, 206, 122).Word(0).Word(0).Text(u"Title");
        if (withFont)
            t.Word(8).Text(u"MS Shell Dlg");
        t.Align().Dword(0x50010000).Dword(0).Rect(46, 86, 50, 14).Word(1001).Word(0xFFFF).Word(0x80).Text(u"OK").Word(0);
        t.Align().Dword(0x50010000).Dword(0).Rect(105, 86, 50, 14).Word(0xFFFF).Word(0xFFFF).Word(0x82).Text(u"").Word(0);
        DialogLayout layout;
        ASSERT_TRUE(ReadDialogLayout(t.bytes.data(), t.bytes.size(), layout)) << withFont;
        EXPECT_EQ(layout.style, style);
        EXPECT_EQ(layout.rect.x, -5);
        ASSERT_EQ(layout.items.size(), 2u);
        EXPECT_EQ(layout.items[0].id, 1001);
        EXPECT_EQ(layout.items[1].id, -1);
        EXPECT_EQ(layout.items[1].rect.x, 105);
    }
}

TEST(DialogLayout, EveryTruncationIsRefusedWithoutReadingPastTheEnd)
{
    const TemplateBytes t = MainLikeTemplate();
    for (size_t cut = 0; cut < t.bytes.size(); ++cut) {
        std::vector<unsigned char> part(t.bytes.begin(), t.bytes.begin() + static_cast<long>(cut));
        DialogLayout layout;
        EXPECT_FALSE(ReadDialogLayout(part.data(), part.size(), layout)) << cut;
    }
}

TEST(DialogLayout, SongNinePointUnitsGiveTheArtsPixels)
{
    const DialogBaseUnits song9{6, 12};
    const DialogUnitRect client = DialogUnitsToPixels({0, 0, 390, 198}, song9);
    EXPECT_EQ(client.cx, 585);
    EXPECT_EQ(client.cy, 297);
    // Halves round up, as MulDiv does: 145 * 6 / 4 = 217.5, 29 * 12 / 8 = 43.5.
    const DialogUnitRect install = DialogUnitsToPixels({166, 122, 145, 29}, song9);
    EXPECT_EQ(install.x, 249);
    EXPECT_EQ(install.y, 183);
    EXPECT_EQ(install.cx, 218);
    EXPECT_EQ(install.cy, 44);
    const DialogUnitRect option = DialogUnitsToPixels({275, 181, 71, 16}, song9);
    EXPECT_EQ(option.x, 413);
    EXPECT_EQ(option.y, 272);
    EXPECT_EQ(option.cx, 107);
    EXPECT_EQ(option.cy, 24);
    const DialogUnitRect close = DialogUnitsToPixels({369, 2, 14, 11}, song9);
    EXPECT_EQ(close.x, 554);
    EXPECT_EQ(close.y, 3);
    EXPECT_EQ(close.cy, 17);
    EXPECT_EQ(DialogUnitsToPixels({0, 0, 365, 36}, DialogBaseUnits{6, 11}).cy, 50);
    // Negative positions round away from zero like positive ones.
    EXPECT_EQ(DialogUnitsToPixels({-3, -1, 0, 0}, song9).x, -5);
}
