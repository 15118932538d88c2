#pragma once
// Windows-1251 text: the engine keeps every text as cp1251 bytes in a
// std::string. These helpers hold the byte-level rules (trimming, ASCII-only
// case folding) and the one conversion pair to and from UTF-8, which the
// windows use at their edge (QString::fromUtf8 / toUtf8).
#include <string>
#include <string_view>
#include <vector>

namespace adw::platform {

// Removes the characters with the codes 0 to 32 at both ends.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Case folding of the Latin letters a to z only; every other byte stays.
char LowerAscii(char c);
char UpperAscii(char c);
std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Position of the first occurrence of needle in hay at or after from,
// comparing Latin letters without regard to case; npos when absent.
std::size_t FindNoCase(std::string_view hay, std::string_view needle, std::size_t from = 0);

// cp1251 <-> UTF-8. A character that cp1251 lacks becomes '?'; invalid UTF-8
// bytes become '?' as well.
std::string Cp1251ToUtf8(std::string_view cp1251);
std::string Utf8ToCp1251(std::string_view utf8);
// The same, and each character that became '?' is noted once in replaced,
// in the order first met (U+FFFD stands for bytes that are no UTF-8), so
// that no letter is lost without the user being told which.
std::string Utf8ToCp1251(std::string_view utf8, std::vector<char32_t>& replaced);

// A Russian literal the engine needs as cp1251: source files are UTF-8, so
// write W("Размещено") instead of hand-written escape bytes.
inline std::string W(std::string_view utf8) {
  return Utf8ToCp1251(utf8);
}

}  // namespace adw::platform
