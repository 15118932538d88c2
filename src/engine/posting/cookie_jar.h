#pragma once
// The cookies of one job: what the board's page set, sent back with the
// posting. Each job has a jar of its own, so no board's session leaks into
// another job.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace adw::engine {

class CookieJar {
 public:
  // A jar stops taking cookies past these, so a hostile page cannot make
  // the request header grow without bound.
  static constexpr std::size_t kMaxCookies = 50;
  static constexpr std::size_t kMaxCookieLength = 4096;

  // The value of one Set-Cookie header: its first "name=value" is kept
  // (the attributes after ";" are not); a later cookie of the same name
  // replaces the earlier one, and Max-Age=0 or less removes it. A cookie
  // without a name or with control characters is dropped.
  void Take(std::string_view setCookieValue);
  // A whole reply header line; true when it was a Set-Cookie line.
  bool TakeHeaderLine(std::string_view line);

  // "a=1; b=2" for the request's Cookie line; empty when the jar is.
  std::string CookieLine() const;
  bool Empty() const { return m_cookies.empty(); }
  std::size_t Count() const { return m_cookies.size(); }

 private:
  std::vector<std::pair<std::string, std::string>> m_cookies;  // in the order first set
};

}  // namespace adw::engine
