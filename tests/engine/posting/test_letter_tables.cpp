#include <gtest/gtest.h>
#include <iconv.h>

#include <set>

#include "engine/posting/letter_tables.h"
#include "platform/text1251.h"

namespace adw::engine {
namespace {

using platform::W;

// The system's own converter, as an independent reference for the tables.
std::string Iconv(const std::string& text, const char* from, const char* to) {
  iconv_t cd = ::iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string in = text;
  std::string out(text.size() * 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  EXPECT_NE(::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
  ::iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

TEST(LetterTablesTest, ListTheLettersInKeyboardOrder) {
  EXPECT_EQ(LettersWin1251(), W("йцукенгшщзхъфывапролджэячсмитьбюЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮёЁ"));
  EXPECT_EQ(LettersKOI8R(), Iconv(LettersWin1251(), "CP1251", "KOI8-R"));
  EXPECT_EQ(LettersISO88595(), Iconv(LettersWin1251(), "CP1251", "ISO-8859-5"));
}

TEST(LetterTablesTest, EachTableHoldsExactlyItsByteRange) {
  struct Case {
    const std::string& table;
    int first;
  };
  for (const Case& c :
       {Case{LettersWin1251(), 0xC0}, Case{LettersKOI8R(), 0xC0}, Case{LettersISO88595(), 0xB0}}) {
    ASSERT_EQ(c.table.size(), kLetterTableSize);
    std::set<int> bytes;
    for (char ch : c.table.substr(0, kLetterCount)) bytes.insert(static_cast<unsigned char>(ch));
    EXPECT_EQ(bytes.size(), kLetterCount);
    EXPECT_EQ(*bytes.begin(), c.first);
    EXPECT_EQ(*bytes.rbegin(), c.first + 63);
  }
}

TEST(TranslateCharsTest, ConvertsBetweenCodePages) {
  const std::string privetKoi = Bytes({0xF0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4});
  EXPECT_EQ(TranslateChars(W("Привет"), LettersWin1251(), LettersKOI8R()), privetKoi);
  EXPECT_EQ(TranslateChars(privetKoi, LettersKOI8R(), LettersWin1251()), W("Привет"));
  EXPECT_EQ(TranslateChars(Bytes({0xBF, 0xE0, 0xD8, 0xD2, 0xD5, 0xE2}), LettersISO88595(), LettersWin1251()),
            W("Привет"));
}

TEST(TranslateCharsTest, CarriesYoAndLeavesEveryOtherByteAlone) {
  // Ё and ё lie outside each code page's letter range; an ad's "ёлка" must
  // still reach a KOI8-R board as ёлка, not as a box-drawing sign.
  const std::string yolka = W("Ёлка и ёж 12, ok!");
  std::string toKoi = TranslateChars(yolka, LettersWin1251(), LettersKOI8R());
  EXPECT_EQ(toKoi, Iconv(yolka, "CP1251", "KOI8-R"));
  EXPECT_EQ(TranslateChars(toKoi, LettersKOI8R(), LettersWin1251()), yolka);
  EXPECT_EQ(TranslateChars(Iconv(yolka, "CP1251", "ISO-8859-5"), LettersISO88595(), LettersWin1251()), yolka);

  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string translated = TranslateChars(all, LettersWin1251(), LettersKOI8R());
  for (int b = 0; b < 0xC0; ++b) {
    if (b == 0xA8 || b == 0xB8) continue;
    EXPECT_EQ(translated[b], all[b]) << b;
  }
}

TEST(TranslateCharsTest, TranslatesEachPositionOnce) {
  // Windows-1251 "а" becomes KOI8-R 0xC1, which is also Windows-1251 "Б";
  // it must not be translated a second time.
  EXPECT_EQ(TranslateChars(W("аБ"), LettersWin1251(), LettersKOI8R()), Bytes({0xC1, 0xE2}));
}

TEST(TranslateCharsTest, UsesTheFirstPositionOfARepeatedByte) {
  EXPECT_EQ(TranslateChars("abc", "aba", "xyz"), "xyc");
  EXPECT_EQ(TranslateChars("", LettersWin1251(), LettersKOI8R()), "");
}

}  // namespace
}  // namespace adw::engine
