#pragma once
// The Russian letters in the three code pages the boards use, aligned
// position by position, and the translator between them. Each table holds
// the 64 letters of its code page's contiguous range (keyboard order, lower
// case then capitals) followed by ё and Ё, which every code page keeps
// apart from that range: without them an ad's "ё" would reach a KOI8-R
// board as a box-drawing sign.
#include <string>
#include <string_view>

namespace adw::engine {

inline constexpr std::size_t kLetterCount = 64;      // the contiguous range
inline constexpr std::size_t kLetterTableSize = 66;  // with ё and Ё

const std::string& LettersWin1251();
const std::string& LettersKOI8R();
const std::string& LettersISO88595();

// Replaces each byte of text found in fromTable by the byte at the same
// position of toTable (its first position when it occurs twice); every
// other byte passes unchanged.
std::string TranslateChars(std::string_view text, std::string_view fromTable, std::string_view toTable);

}  // namespace adw::engine
