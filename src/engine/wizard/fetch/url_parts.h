#pragma once
// How the page fetch client reads the texts it is given: the URL box's
// text, the proxy setting and the Location values of relocations. The
// rules are deliberately forgiving (a bare "host:port" is a whole URL), so
// they are kept apart from any general URL parser.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace adw::engine {

// Every part may be empty.
struct UrlParts {
  std::string scheme;
  std::string user;
  std::string password;
  std::string host;
  std::string port;
  std::string path;
};

UrlParts SplitUrl(std::string_view url);

// The TCP port a port text stands for: its leading digits when it begins
// with a digit ("3128 " is 3128), otherwise the tcp service of that name.
// nullopt for an empty text, an unknown service or a number above 65535.
std::optional<std::uint16_t> PortFromText(std::string_view text);

// Standard alphabet, padded with "=" to a multiple of four characters.
std::string EncodeBase64(std::string_view bytes);

}  // namespace adw::engine
