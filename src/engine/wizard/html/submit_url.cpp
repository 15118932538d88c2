#include "engine/wizard/html/submit_url.h"

#include <algorithm>
#include <vector>

#include "platform/concat.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "scheme:" at the front, by the URL grammar, so that "add.cgi?t=1:2" is not
// taken for an absolute URL.
bool HasScheme(std::string_view url) {
  if (url.empty() || !IsAlpha(url[0])) return false;
  for (std::size_t i = 1; i < url.size(); ++i) {
    const char c = url[i];
    if (c == ':') return true;
    if (!IsAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

std::string_view DropFragment(std::string_view url) {
  return url.substr(0, url.find('#'));
}

// A base URL cut into "scheme://authority", the path and "?query". The URL box
// may hold a bare "host/dir/", which has no scheme but still an authority.
struct Base {
  std::string scheme;  // without ':'; empty when the text has none
  std::string origin;
  std::string path;
};

Base SplitBase(std::string_view url) {
  url = DropFragment(url);
  Base b;
  std::size_t from = 0;
  if (const std::size_t mark = url.find("://"); mark != std::string_view::npos && HasScheme(url)) {
    b.scheme = std::string(url.substr(0, mark));
    from = mark + 3;
  }
  const std::size_t pathAt = std::min(url.find_first_of("/?", from), url.size());
  b.origin = std::string(url.substr(0, pathAt));
  b.path = std::string(url.substr(pathAt, url.find('?', pathAt) - pathAt));
  if (b.path.empty()) b.path.push_back('/');
  return b;
}

// Removes "." and ".." segments from a rooted path; ".." never climbs above
// the root, and a trailing dot segment leaves the directory's "/".
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  std::size_t at = 1;  // past the leading "/"
  while (true) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    const std::string_view segment = path.substr(at, end - at);
    const bool last = end == path.size();
    if (segment == "." || segment == "..") {
      if (segment == ".." && !kept.empty()) kept.pop_back();
      if (last) kept.push_back({});
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    at = end + 1;
  }
  std::string out;
  for (const std::string_view segment : kept) {
    out += '/';
    out += segment;
  }
  return out.empty() ? "/" : out;
}

// A rooted path with its query: dot segments go from the path only.
std::string NormalisePathAndQuery(std::string_view pathAndQuery) {
  const std::size_t query = std::min(pathAndQuery.find('?'), pathAndQuery.size());
  return RemoveDotSegments(pathAndQuery.substr(0, query)) + std::string(pathAndQuery.substr(query));
}

std::string Resolve(std::string_view baseUrl, std::string_view ref) {
  ref = DropFragment(ref);
  if (HasScheme(ref)) return std::string(ref);
  const Base base = SplitBase(baseUrl);
  if (ref.starts_with("//")) {
    // Boards are fetched over HTTP when the URL box names no scheme.
    const std::string scheme = base.scheme.empty() ? "http" : base.scheme;
    const std::size_t pathAt = std::min(ref.find_first_of("/?", 2), ref.size());
    const std::string_view rest = ref.substr(pathAt);
    return platform::Concat(
        {scheme, ":", ref.substr(0, pathAt),
         NormalisePathAndQuery(rest.starts_with('/') ? std::string(rest) : platform::Concat({"/", rest}))});
  }
  if (ref.starts_with('/')) return base.origin + NormalisePathAndQuery(ref);
  if (ref.starts_with('?')) return base.origin + RemoveDotSegments(base.path) + std::string(ref);
  const std::string directory = base.path.substr(0, base.path.rfind('/') + 1);
  return base.origin + NormalisePathAndQuery(directory + std::string(ref));
}

}  // namespace

std::string ResolveFormAction(std::string_view pageUrl, std::string_view baseHref, std::string_view action) {
  const std::string page = platform::Trim(pageUrl);
  const std::string target = platform::Trim(action);
  if (target.empty() || target.starts_with('#')) return std::string(DropFragment(page));
  const std::string base = platform::Trim(baseHref);
  // A relative <base href> is itself read against the page.
  return Resolve(base.empty() ? page : Resolve(page, base), target);
}

}  // namespace adw::engine
