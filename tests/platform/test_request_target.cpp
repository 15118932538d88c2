#include <gtest/gtest.h>

#include "platform/connection.h"

namespace adw::platform {
namespace {

TEST(EncodeRequestTarget, EncodesWhatCannotStandInATargetAndRefusesLineBreaks) {
  struct Case {
    std::string in;
    std::optional<std::string> out;
  } cases[] = {
      {"/add?a=1&b=2", "/add?a=1&b=2"},
      {"/a b\tc", "/a%20b%09c"},
      {"/p?q=\xC0\xFF\x7F", "/p?q=%C0%FF%7F"},
      {"/x?\"<>\\^`{|}", "/x?%22%3C%3E%5C%5E%60%7B%7C%7D"},
      {"/100%?x=%41", "/100%?x=%41"},  // "%" stays as browsers leave it
      {"/page#part two", "/page"},
      {"http://h:8080/a b", "http://h:8080/a%20b"},
      {"/a\rb", std::nullopt},
      {"/a\nb", std::nullopt},
      {std::string("/a\0b", 4), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeRequestTarget(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace adw::platform
