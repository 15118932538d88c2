#include <gtest/gtest.h>

#include "platform/text1251.h"

namespace adw::platform {
namespace {

TEST(Text1251, TrimRemovesCodesUpTo32Only) {
  EXPECT_EQ(Trim(std::string("\x01\t \r\n a b \x1f\x20", 12)), "a b");
  EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // no-break space is a letter here
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
}

TEST(Text1251, CaseFoldingTouchesLatinLettersOnly) {
  EXPECT_EQ(LowerAscii("AbZ\xC0\xDF@[`{"), "abz\xC0\xDF@[`{");
  EXPECT_EQ(UpperAscii("abz\xE0\xFF"), "ABZ\xE0\xFF");
  EXPECT_TRUE(EqualsNoCase("Save", "sAVE"));
  EXPECT_FALSE(EqualsNoCase("\xC0", "\xE0"));  // А and а differ
  EXPECT_FALSE(EqualsNoCase("ab", "abc"));
  EXPECT_EQ(FindNoCase("xxSet-Cookie: a", "SET-COOKIE:"), 2u);
  EXPECT_EQ(FindNoCase("abcABC", "abc", 1), 3u);
  EXPECT_EQ(FindNoCase("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(FindNoCase("abc", "", 3), 3u);
  EXPECT_EQ(FindNoCase("abc", "a", 9), std::string_view::npos);
}

TEST(Text1251, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Text1251, ConvertsKnownLetters) {
  EXPECT_EQ(W("Размещено"), "\xD0\xE0\xE7\xEC\xE5\xF9\xE5\xED\xEE");
  EXPECT_EQ(W("Ёё№€—«»"), "\xA8\xB8\xB9\x88\x97\xAB\xBB");
  EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
}

TEST(Text1251, UnknownAndBrokenInputBecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a中b😀c"), "a?b?c");  // not in the code page
  EXPECT_EQ(Utf8ToCp1251("a\x80"
                         "b"),
            "a?b");                        // stray continuation
  EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");  // cut at the end
  EXPECT_EQ(Utf8ToCp1251("\xD0"
                         "a"),
            "?a");                               // cut before a letter
  EXPECT_EQ(Utf8ToCp1251("\xC0\xAF"), "?");      // overlong "/"
  EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "?");  // surrogate
  EXPECT_EQ(Utf8ToCp1251("\xFF\xFE"), "??");
}

TEST(Text1251, TellsWhichCharactersWereReplaced) {
  std::vector<char32_t> replaced;
  EXPECT_EQ(Utf8ToCp1251("a中b😀c中? Привет\xFF€", replaced), "a?b?c?? " + W("Привет") + "?\x88");
  EXPECT_EQ(replaced, (std::vector<char32_t>{U'中', U'😀', 0xFFFD}));
  replaced.clear();
  EXPECT_EQ(Utf8ToCp1251("ok?", replaced), "ok?");
  EXPECT_TRUE(replaced.empty());
}

}  // namespace
}  // namespace adw::platform
