#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/wizard/board_text.h"
#include "engine/wizard/page_charset.h"
#include "platform/text1251.h"

namespace {

using namespace adw::engine;
using adw::platform::W;

TEST(PageCharset, ContentTypeParameter) {
  struct Case {
    const char* contentType;
    const char* charset;
  };
  const Case cases[] = {
      {"text/html; charset=utf-8", "utf-8"},
      {"text/html;charset=UTF-8", "UTF-8"},
      {"text/html; Charset = \"windows-1251\" ; q=1", "windows-1251"},
      {"text/html; foo=\"a;b\"; charset='koi8-r'", "koi8-r"},
      {"text/html; format=flowed; charset=koi8-r; x=y", "koi8-r"},
      {"text/html; charsets=utf-8", ""},
      {"text/html; charset=", ""},
      {"text/html", ""},
      {"", ""},
      {"charset=utf-8", ""},  // a parameter comes after the type
  };
  for (const Case& c : cases) EXPECT_EQ(CharsetOfContentType(c.contentType), c.charset) << c.contentType;
}

TEST(PageCharset, LabelsOfTheFourCodePages) {
  struct Case {
    const char* label;
    int index;
  };
  const Case cases[] = {
      {"windows-1251", 0}, {"CP1251", 0}, {" koi8-r ", 1},      {"KOI8-U", 1}, {"ISO-8859-5", 2},
      {"utf-8", 3},        {"UTF8", 3},   {"windows-1252", -1}, {"", -1},      {"utf-16", -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(CodePageIndexOfCharset(c.label), c.index) << c.label;
  }
}

TEST(PageCharset, BomThenHeaderThenMetaInTheHead) {
  struct Case {
    const char* what;
    std::string contentType;
    std::string page;
    int index;
  };
  const std::vector<Case> cases = {
      {"meta charset", "", "<html><head><META CHARSET=utf-8><title>x</title></head>", 3},
      {"http-equiv, any case, unquoted", "text/html",
       "<meta HTTP-EQUIV=Content-Type content='text/html; charset=koi8-r'>", 1},
      {"the header wins over meta", "text/html; charset=windows-1251", "<meta charset=\"utf-8\">", 0},
      {"a header naming no known code page leaves it to meta", "text/html; charset=x-unknown",
       "<meta charset=\"iso-8859-5\">", 2},
      {"a byte order mark wins over all", "text/html; charset=koi8-r", "\xEF\xBB\xBF<meta charset=koi8-r>",
       3},
      {"the first meta naming a charset counts", "",
       "<meta name=author content=x><meta http-equiv=refresh content=\"5; charset=koi8-r\">"
       "<meta http-equiv=content-type content=\"text/html\"><meta charset=windows-1251><meta charset=utf-8>",
       0},
      {"meta in a comment or script does not count", "",
       "<!-- <meta charset=utf-8> --><script>document.write('<meta charset=utf-8>')</script>", -1},
      {"meta after the body began does not count", "", "<body><p>x</p><meta charset=utf-8>", -1},
      {"nothing named", "text/html", "<html><form></form></html>", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(DetectPageCodePage(c.contentType, c.page), c.index) << c.what;
}

TEST(PageCharset, AUtf8PageIsDecodedAndItsLostCharactersNamed) {
  EXPECT_EQ(CodePageText(3), "UTF-8");
  std::vector<char32_t> replaced;
  const std::string page = "\xEF\xBB\xBF<p>Привет\r\n, мир ✓ 中 ✓ ё</p>";
  EXPECT_EQ(PreparePageText(page, 3, replaced), W("<p>Привет, мир ? ? ? ё</p>"));
  EXPECT_EQ(replaced, (std::vector<char32_t>{U'✓', U'中'}));
  // The other code pages never replace anything.
  replaced.clear();
  PreparePageText(page, 0, replaced);
  PreparePageText(page, 1, replaced);
  EXPECT_TRUE(replaced.empty());
}

}  // namespace
