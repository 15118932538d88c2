#pragma once
// What the user is told when text had characters that Windows-1251 cannot
// hold: the program keeps its text in that code page and puts "?" in their
// place, and a letter must never vanish without a word.
#include <string>
#include <vector>

namespace adw::engine {

// The note for the status bar, in UTF-8 (it names characters the program's
// own code page lacks): each replaced character with its code, at most
// eight of them; empty when nothing was replaced. U+FFFD stands for bytes
// that were not UTF-8 at all.
std::string ReplacedCharactersNote(const std::vector<char32_t>& replaced);

}  // namespace adw::engine
