#include "engine/wizard/fetch/url_parts.h"

// Service names come from the system's services database; there is no
// platform module for it yet, so this file is the one place of the page
// fetch client that calls the system directly.

#include <vector>

#include "platform/name_lookup.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && platform::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

void SplitAuthority(std::string_view authority, UrlParts& parts) {
  const auto npos = std::string_view::npos;
  std::size_t at = authority.rfind('@');
  std::size_t colon = authority.rfind(':');
  // Positions counted from 1, 0 when absent, so that "no @" sorts first.
  std::size_t c = at == npos ? 0 : at + 1;
  std::size_t b = colon == npos ? 0 : colon + 1;
  if (b > c) {
    parts.port = std::string(authority.substr(b));
    parts.host = std::string(authority.substr(c, b - 1 - c));
  } else {
    parts.host = std::string(authority.substr(c));
  }
  if (c > 0) {
    std::string_view credentials = authority.substr(0, c - 1);
    std::size_t split = credentials.find(':');
    if (split == npos) {
      parts.user = std::string(credentials);
    } else {
      parts.user = std::string(credentials.substr(0, split));
      parts.password = std::string(credentials.substr(split + 1));
    }
  }
}

}  // namespace

UrlParts SplitUrl(std::string_view url) {
  UrlParts parts;
  std::string_view rest;
  if (std::size_t mark = url.find("://"); mark != std::string_view::npos) {
    parts.scheme = std::string(url.substr(0, mark));
    rest = url.substr(mark + 3);
  } else if (!url.empty() && url.front() == '/') {
    parts.scheme = "http";
    if (url.size() < 2 || url[1] != '/') {
      parts.path = std::string(url);
      return parts;
    }
    // "//x/y": the rest starts with "/", so the authority stays empty.
    rest = url.substr(1);
  } else if (StartsWithNoCase(url, "http:")) {
    parts.scheme = "http";
    if (url.size() < 7 || url[6] != '/') {
      parts.path = std::string(url.substr(5));
      return parts;
    }
    rest = url.substr(6);
  } else if (StartsWithNoCase(url, "mailto:")) {
    parts.scheme = "mailto";
    rest = url.substr(url.find(':') + 1);
  } else {
    rest = url;
  }

  std::size_t slash = rest.find('/');
  std::string_view authority = rest;
  if (slash != std::string_view::npos) {
    parts.path = std::string(rest.substr(slash));
    authority = rest.substr(0, slash);
  }
  SplitAuthority(authority, parts);
  return parts;
}

std::optional<std::uint16_t> PortFromText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text.front() >= '0' && text.front() <= '9') {
    unsigned long value = 0;
    for (char c : text) {
      if (c < '0' || c > '9') break;
      value = value * 10 + static_cast<unsigned long>(c - '0');
      // A number past the port range must not wrap round to another port.
      if (value > 65535) return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
  }
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  return platform::LookupServicePort(text);
}

std::string EncodeBase64(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                 (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  std::size_t left = bytes.size() - i;
  if (left > 0) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace adw::engine
