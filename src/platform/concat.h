#pragma once
// Joins texts into one new string with a single allocation. Used in place of
// chains of operator+ that start from a literal: besides the extra copies,
// GCC 12 at -O3 misreads the prepend inside them as overlapping copies
// (-Wrestrict).
#include <initializer_list>
#include <string>
#include <string_view>

namespace adw::platform {

inline std::string Concat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string out;
  out.reserve(size);
  for (std::string_view part : parts) out.append(part);
  return out;
}

}  // namespace adw::platform
