#pragma once
// Character references ("&amp;", "&#1055;", "&#x41F;") of a page that is
// kept in Windows-1251: each reference becomes its Windows-1251 byte, or '?'
// where the code page has no such letter.
#include <cstdint>
#include <string>
#include <string_view>

namespace adw::engine {

// The Windows-1251 byte of a Unicode code point, '?' when it has none.
char CodePointTo1251(std::uint32_t codePoint);

// Appends text to out with its character references decoded. Inside an
// attribute value a reference without ";" followed by "=" or a letter or
// digit is left as written, so that query strings such as "a.cgi?x=1&copy=2"
// keep their meaning. A reference that is not recognised stays as written.
void AppendDecoded(std::string& out, std::string_view text, bool inAttribute);

std::string DecodeCharRefs(std::string_view text, bool inAttribute = false);

}  // namespace adw::engine
