#include "engine/posting/cookie_jar.h"

#include <algorithm>

#include "platform/text1251.h"

namespace adw::engine {

namespace {

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte == 127;
  });
}

// True when the attributes hold a Max-Age that ends the cookie now.
bool ExpiresNow(std::string_view attributes) {
  std::size_t start = 0;
  while (start < attributes.size()) {
    std::size_t end = attributes.find(';', start);
    if (end == std::string_view::npos) end = attributes.size();
    const std::string_view part = attributes.substr(start, end - start);
    const std::size_t eq = part.find('=');
    if (eq != std::string_view::npos &&
        platform::EqualsNoCase(platform::Trim(part.substr(0, eq)), "max-age")) {
      const std::string value = platform::Trim(part.substr(eq + 1));
      if (!value.empty() && (value[0] == '-' || value.find_first_not_of('0') == std::string::npos))
        return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

void CookieJar::Take(std::string_view setCookieValue) {
  const std::size_t semicolon = setCookieValue.find(';');
  const std::string_view pair = setCookieValue.substr(0, semicolon);
  const std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return;
  const std::string name = platform::Trim(pair.substr(0, eq));
  const std::string value = platform::Trim(pair.substr(eq + 1));
  if (name.empty() || HasControl(name) || HasControl(value) ||
      name.find_first_of(" \t,;") != std::string::npos || name.size() + value.size() > kMaxCookieLength) {
    return;
  }
  const bool expired =
      semicolon != std::string_view::npos && ExpiresNow(setCookieValue.substr(semicolon + 1));
  const auto found = std::find_if(m_cookies.begin(), m_cookies.end(),
                                  [&](const auto& cookie) { return cookie.first == name; });
  if (expired) {
    if (found != m_cookies.end()) m_cookies.erase(found);
    return;
  }
  if (found != m_cookies.end()) {
    found->second = value;
  } else if (m_cookies.size() < kMaxCookies) {
    m_cookies.emplace_back(name, value);
  }
}

bool CookieJar::TakeHeaderLine(std::string_view line) {
  constexpr std::string_view kName = "set-cookie:";
  if (line.size() < kName.size() || !platform::EqualsNoCase(line.substr(0, kName.size()), kName))
    return false;
  std::string_view value = line.substr(kName.size());
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.remove_suffix(1);
  Take(value);
  return true;
}

std::string CookieJar::CookieLine() const {
  std::string line;
  for (const auto& [name, value] : m_cookies) {
    if (!line.empty()) line += "; ";
    line += name;
    line += '=';
    line += value;
  }
  return line;
}

}  // namespace adw::engine
