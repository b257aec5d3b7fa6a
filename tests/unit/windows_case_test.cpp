// Upper case as NTFS compares names, for every character of code page 936, and the same-file key built on it.
#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <map>
#include <set>
#include <string>

#include "engine/list/path_rules.h"
#include "engine/list/windows_case.h"
#include "platform/cp936.h"

namespace {

// Every character code page 936 holds, in UTF-16, through this system's table.
std::set<char16_t> EveryGbkCharacter()
{
    std::set<char16_t> all;
    std::u16string wide;
    for (int c = 1; c < 0x80; ++c)
        if (Utf16From936(std::string(1, static_cast<char>(c)), wide))
            all.insert(wide[0]);
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        if (Utf16From936(std::string(1, static_cast<char>(lead)), wide) && wide.size() == 1)
            all.insert(wide[0]);
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char pair[] = {static_cast<char>(lead), static_cast<char>(trail), 0};
            if (Utf16From936(pair, wide) && wide.size() == 1)
                all.insert(wide[0]);
        }
    }
    return all;
}

}  // namespace

TEST(WindowsCase, EveryGbkCharacterFoldsAsUnicodeUpperCaseDoes)
{
    // The reference: the C library's Unicode case table. Every GBK character must upcase to what it gives,
    // and so two GBK characters meet exactly when their upper-case forms are one.
    const char* old = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = old ? old : "C";
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    const std::set<char16_t> all = EveryGbkCharacter();
    ASSERT_GT(all.size(), 21000u);
    std::map<char16_t, std::set<char16_t>> byOurs, byReference;
    int folded = 0;
    for (char16_t c : all) {
        const char16_t reference = static_cast<char16_t>(std::towupper(static_cast<wint_t>(c)));
        EXPECT_EQ(UpcaseAsWindows(c), reference) << std::hex << static_cast<unsigned>(c);
        folded += UpcaseAsWindows(c) != c;
        byOurs[UpcaseAsWindows(c)].insert(c);
        byReference[reference].insert(c);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    EXPECT_EQ(byOurs, byReference);
    // 26 ASCII, 26 full-width, 24 Greek, 33 Cyrillic and 10 Roman numerals have their partner in GBK; the
    // pinyin letters fold to capitals GBK does not hold.
    size_t pairs = 0;
    for (const auto& group : byOurs)
        pairs += group.second.size() == 2;
    EXPECT_EQ(pairs, 119u);
    EXPECT_EQ(folded, 149);
}

TEST(WindowsCase, SameFileKeyFoldsBeyondAscii)
{
    const std::string dir = "C:\\Program Files\\Qelmora\\";
    EXPECT_EQ(SameFileKey(dir + "sub/A.dll"), SameFileKey(dir + "SUB\\a.DLL"));
    EXPECT_EQ(SameFileKey(dir + "./x.dll"), SameFileKey(dir + "x.dll"));
    EXPECT_NE(SameFileKey(dir + "a.dll"), SameFileKey(dir + "b.dll"));
    EXPECT_EQ(SameFileKey(dir + "\xA3\xE1.dll"), SameFileKey(dir + "\xA3\xC1.dll"));    // ａ Ａ
    EXPECT_EQ(SameFileKey(dir + "\xA6\xC1.txt"), SameFileKey(dir + "\xA6\xA1.txt"));    // α Α
    EXPECT_EQ(SameFileKey(dir + "\xA7\xD1.txt"), SameFileKey(dir + "\xA7\xA1.txt"));    // а А
    EXPECT_EQ(SameFileKey(dir + "\xA7\xD7.txt"), SameFileKey(dir + "\xA7\xA7.txt"));    // ё Ё
    EXPECT_EQ(SameFileKey(dir + "\xA2\xA1.txt"), SameFileKey(dir + "\xA2\xF1.txt"));    // ⅰ Ⅰ
    // Characters whose bytes look alike are not alike: 0x81 0x61 and 0x81 0x41, ａ and a.
    EXPECT_NE(SameFileKey(dir + "\x81\x61.txt"), SameFileKey(dir + "\x81\x41.txt"));
    EXPECT_NE(SameFileKey(dir + "\xA3\xE1.dll"), SameFileKey(dir + "a.dll"));
    // 乗 ends in the byte 0x5C, which is no separator: the key holds no '\\' for it.
    EXPECT_EQ(SameFileKey(dir + "\x81\x5C" + "a.txt"), SameFileKey("C:\\Program Files\\Qelmora") + "\\\xE4\xB9\x97" "A.TXT");
    // Bytes this system cannot convert still give a key, equal only to the same bytes.
    EXPECT_EQ(SameFileKey(dir + "\xA2\xA0x.txt"), SameFileKey(dir + "\xA2\xA0X.TXT"));
    EXPECT_NE(SameFileKey(dir + "\xA2\xA0.txt"), SameFileKey(dir + "\xA2\xAF.txt"));
}
