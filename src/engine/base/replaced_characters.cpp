#include "engine/base/replaced_characters.h"

#include <cstdio>

namespace adw::engine {

namespace {

constexpr std::size_t kNamedAtMost = 8;

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string ReplacedCharactersNote(const std::vector<char32_t>& replaced) {
  if (replaced.empty()) return {};
  std::string note = "Символы, которых нет в кодировке Windows-1251, заменены на \"?\": ";
  for (std::size_t i = 0; i < replaced.size() && i < kNamedAtMost; ++i) {
    if (i > 0) note += ", ";
    const char32_t cp = replaced[i];
    if (cp == 0xFFFD) {
      note += "байты не в UTF-8";
      continue;
    }
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
    note += "\"";
    // A control character would break the status line; its code says enough.
    if (cp >= 0x20 && cp <= 0x10FFFF && !(cp >= 0x7F && cp < 0xA0)) AppendUtf8(note, cp);
    note += "\" (";
    note += code;
    note += ")";
  }
  if (replaced.size() > kNamedAtMost) note += " и ещё " + std::to_string(replaced.size() - kNamedAtMost);
  return note;
}

}  // namespace adw::engine
