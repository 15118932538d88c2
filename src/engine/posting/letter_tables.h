#pragma once
// The 64 Russian letters in the three code pages the boards use, aligned
// position by position (keyboard order, lower case then capitals), and the
// translator between them. Ё and ё are in none of the tables.
#include <string>
#include <string_view>

namespace adw::engine {

inline constexpr std::size_t kLetterCount = 64;

const std::string& LettersWin1251();
const std::string& LettersKOI8R();
const std::string& LettersISO88595();

// Replaces each byte of text found in fromTable by the byte at the same
// position of toTable (its first position when it occurs twice); every
// other byte passes unchanged.
std::string TranslateChars(std::string_view text, std::string_view fromTable, std::string_view toTable);

}  // namespace adw::engine
