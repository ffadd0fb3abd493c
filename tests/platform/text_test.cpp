#include <gtest/gtest.h>

#include "platform/text.h"
#include "test_support.h"

using namespace plat;
using smt::test::Hex;
using smt::test::ToHex;

TEST(Text, Utf16RoundTripsSurrogatePairsAndCjk) {
    const std::string s = "A中\xF0\x9F\x98\x80Z";  // U+1F600 needs a pair
    const std::u16string w = Utf8ToUtf16(s);
    EXPECT_EQ(w, (std::u16string{u'A', 0x4E2D, 0xD83D, 0xDE00, u'Z'}));
    EXPECT_EQ(Utf16ToUtf8(w), s);
    // Lone halves of a pair become U+FFFD, the rest is kept.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, u'x', 0xDE00}), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D}), "a\xEF\xBF\xBD");
}

TEST(Text, InvalidUtf8IsRejectedAndReplaced) {
    for (const char* bad : {"\xC0\x80", "\xE4\xB8", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "a\xFF"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << ToHex(bad);
        EXPECT_NE(Utf8ToUtf16(bad).find(u'\xFFFD'), std::u16string::npos) << ToHex(bad);
    }
    EXPECT_TRUE(IsValidUtf8("\xEF\xBF\xBD中文 plain"));
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_EQ(Utf8ToUtf16("a\xE4\xB8"), (std::u16string{u'a', 0xFFFD, 0xFFFD}));
}

TEST(Text, GbkReplacementsAndAsciiOnlyCaseFolding) {
    // A lone lead byte decodes to U+FFFD; the text after it survives.
    EXPECT_EQ(GbkToUtf8(Hex("41 81") + "\r\n"), "A\xEF\xBF\xBD\r\n");
    // Characters GBK lacks become '?', one per character.
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b中"), "a?b" + Hex("D6 D0"));
    EXPECT_EQ(Utf8ToGbk("x\xFFy"), "x?y");

    EXPECT_EQ(AsciiLower("Config_SPEED.Fig"), "config_speed.fig");
    EXPECT_EQ(AsciiLower("ÄÖ中"), "ÄÖ中");
    EXPECT_TRUE(EqualsNoCase("X_Limit", "x_LIMIT"));
    EXPECT_FALSE(EqualsNoCase("X_Limit", "X_Limi"));
    EXPECT_FALSE(EqualsNoCase("Ä", "ä"));
}
