#include "engine/posting/letter_tables.h"

#include <array>
#include <cstdint>

namespace adw::engine {

namespace {

// Alphabet positions (а = 0 ... я = 31) of the letters in keyboard order:
// й ц у к е н г ш щ з х ъ ф ы в а п р о л д ж э я ч с м и т ь б ю.
constexpr std::array<std::uint8_t, 32> kKeyboardOrder = {9,  22, 19, 10, 5,  13, 3,  24, 25, 7, 21,
                                                         26, 20, 27, 2,  0,  15, 16, 14, 11, 4, 6,
                                                         29, 31, 23, 17, 12, 8,  18, 28, 1,  30};

// KOI8-R codes of the lower-case letters а ... я (RFC 1489); each capital
// is its lower-case code plus 0x20.
constexpr std::array<std::uint8_t, 32> kKoi8rLower = {
    0xC1, 0xC2, 0xD7, 0xC7, 0xC4, 0xC5, 0xD6, 0xDA, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,
    0xD2, 0xD3, 0xD4, 0xD5, 0xC6, 0xC8, 0xC3, 0xDE, 0xDB, 0xDD, 0xDF, 0xD9, 0xD8, 0xDC, 0xC0, 0xD1};

template <typename CodeOf>
std::string BuildTable(CodeOf codeOf, std::uint8_t yoLower, std::uint8_t yoCapital) {
  std::string table;
  table.reserve(kLetterTableSize);
  for (bool capital : {false, true}) {
    for (std::uint8_t letter : kKeyboardOrder) table.push_back(static_cast<char>(codeOf(letter, capital)));
  }
  table.push_back(static_cast<char>(yoLower));
  table.push_back(static_cast<char>(yoCapital));
  return table;
}

}  // namespace

const std::string& LettersWin1251() {
  static const std::string table =
      BuildTable([](int letter, bool capital) { return (capital ? 0xC0 : 0xE0) + letter; }, 0xB8, 0xA8);
  return table;
}

const std::string& LettersKOI8R() {
  static const std::string table = BuildTable(
      [](int letter, bool capital) { return kKoi8rLower[letter] + (capital ? 0x20 : 0); }, 0xA3, 0xB3);
  return table;
}

const std::string& LettersISO88595() {
  static const std::string table =
      BuildTable([](int letter, bool capital) { return (capital ? 0xB0 : 0xD0) + letter; }, 0xF1, 0xA1);
  return table;
}

std::string TranslateChars(std::string_view text, std::string_view fromTable, std::string_view toTable) {
  std::array<unsigned char, 256> map{};
  std::array<bool, 256> mapped{};
  for (std::size_t k = 0; k < fromTable.size() && k < toTable.size(); ++k) {
    auto from = static_cast<unsigned char>(fromTable[k]);
    if (!mapped[from]) {
      mapped[from] = true;
      map[from] = static_cast<unsigned char>(toTable[k]);
    }
  }
  std::string out(text);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if (mapped[b]) c = static_cast<char>(map[b]);
  }
  return out;
}

}  // namespace adw::engine
