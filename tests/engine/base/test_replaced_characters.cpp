#include <gtest/gtest.h>

#include "engine/base/replaced_characters.h"

namespace {

using adw::engine::ReplacedCharactersNote;

TEST(ReplacedCharacters, NamesEachCharacterWithItsCode) {
  EXPECT_EQ(ReplacedCharactersNote({}), "");
  EXPECT_EQ(
      ReplacedCharactersNote({U'✓', U'😀', 0xFFFD, 0x85}),
      "Символы, которых нет в кодировке Windows-1251, заменены на \"?\": \"✓\" (U+2713), \"😀\" (U+1F600), "
      "байты не в UTF-8, \"\" (U+0085)");
  std::vector<char32_t> many;
  for (char32_t c = 0x4E00; c < 0x4E0A; ++c) many.push_back(c);
  const std::string note = ReplacedCharactersNote(many);
  EXPECT_NE(note.find("(U+4E07) и ещё 2"), std::string::npos) << note;
  EXPECT_EQ(note.find("U+4E08"), std::string::npos);
}

}  // namespace
