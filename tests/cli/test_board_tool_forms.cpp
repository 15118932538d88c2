#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/posting/letter_tables.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"
#include "support/tls_peers.h"
#include "support/tool_run.h"

namespace {

using adw::platform::W;

using adw::test::ToolRun;

class BoardToolForms : public ::testing::Test {
 protected:
  ToolRun Run(const std::vector<std::string>& args) {
    std::vector<std::string> all{"forms"};
    all.insert(all.end(), args.begin(), args.end());
    return adw::test::RunTool("adweld-board", all, m_io);
  }

  adw::test::TempDir m_dir;
  adw::test::TempDir m_io;
};

// Lines end with CR LF, which the wizard joins; the text area's line break
// is a bare LF and stays.
const std::string kPage = W(
    "<html><head><base href=\"http://b.example/\"></head>\r\n"
    "<form action=\"add.cgi\" method=\"post\">\r\n"
    "<input type=\"text\" name=\"subject\" value=\"$TEMA\">\r\n"
    "<input type=\"hidden\" name=\"id\" value=\"17\">\r\n"
    "<select name=\"rubr\"><option value=\"1\">Мебель</option><option value=\"3\" selected>Ноутбуки</option>"
    "</select>\r\n"
    "<textarea name=\"text\">Продам\nнедорого</textarea>\r\n"
    "<input type=\"checkbox\" name=\"urgent\">\r\n"
    "<input type=\"submit\" name=\"send\" value=\"Отправить\">\r\n"
    "</form>\r\n"
    "<form action=\"search.cgi\"><input type=\"radio\" name=\"srok\" value=\"7\" checked>неделя "
    "<input type=\"radio\" name=\"srok\" value=\"30\">месяц <input type=\"image\" name=\"go\" src=\"go.gif\">"
    "<br></form>\r\n");

const std::string kForms =
    "form 1 action=add.cgi method=post\n"
    "  text name=\"subject\" value=\"$TEMA\" size=20\n"
    "  hidden name=\"id\" value=\"17\"\n"
    "  combo name=\"rubr\" options: \"1\"=\"Мебель\" *\"3\"=\"Ноутбуки\"\n"
    "  textarea name=\"text\" rows=5 cols=30 text=\"Продам\\nнедорого\"\n"
    "  checkbox name=\"urgent\" value=\"On\" unchecked\n"
    "  button-submit name=\"send\" value=\"Отправить\"\n"
    "submit subject=$TEMA\n"
    "submit id=17\n"
    "submit rubr=3\n"
    "submit text=Продам\n"
    "submit text=недорого\n"
    "submit send=Отправить\n"
    "form 2 action=search.cgi method=Get\n"
    "  radio name=\"srok\" value=\"7\" checked\n"
    "  radio name=\"srok\" value=\"30\" unchecked\n"
    "  image name=\"go\" src=\"go.gif\"\n"
    "submit srok=7\n"
    "submit go.x=0\n"
    "submit go.y=0\n";

TEST_F(BoardToolForms, PrintsTheFormsAndTheFieldTreeOfAPage) {
  const std::string page = m_dir.Write("page.html", kPage);
  ToolRun run = Run({page});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kForms +
                         "tree form 1\n"
                         "  \"rubr\" field=\"rubr\" value=\"\" text=\"\" record=1\n"
                         "    \"Мебель\" field=\"rubr\" value=\"1\" text=\"Мебель\" record=2\n"
                         "    \"Ноутбуки\" field=\"rubr\" value=\"3\" text=\"Ноутбуки\" record=3\n"
                         "  \"urgent\" field=\"urgent\" value=\"On\" text=\"\" record=4\n"
                         "map $rubr=X$x\n"
                         "map 1$rubr=X$x\n"
                         "map 3$rubr=X$x\n"
                         "map On$urgent=X$x\n");
  EXPECT_EQ(run.err, "");

  run = Run({"--form", "2", page, "--code", "WIN1251"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kForms +
                         "tree form 2\n"
                         "  \"srok\" field=\"srok\" value=\"7\" text=\"неделя \" record=1\n"
                         "    \"неделя \" field=\"srok\" value=\"7\" text=\"неделя \" record=1\n"
                         "    \"месяц \" field=\"srok\" value=\"30\" text=\"месяц \" record=2\n"
                         "map 7$srok=X$x\n"
                         "map 7$srok=X$x\n"
                         "map 30$srok=X$x\n");
}

TEST_F(BoardToolForms, DecodesByTheCodePage) {
  const std::string page = W("<form action=\"доска.cgi\"><input name=\"q\" value=\"Привет\"></form>");
  const std::string koi = m_dir.Write(
      "koi.html",
      adw::engine::TranslateChars(page, adw::engine::LettersWin1251(), adw::engine::LettersKOI8R()));
  const ToolRun run = Run({koi, "--code", "KOI8-R", "--form", "3"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "form 1 action=доска.cgi method=Get\n"
            "  text name=\"q\" value=\"Привет\" size=20\n"
            "submit q=Привет\n"
            "tree form 3\n");
}

TEST_F(BoardToolForms, FetchesAnHttpPage) {
  adw::test::RawServer server(adw::test::RawServer::Mode::Reply,
                              {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                               "<form action=a.cgi><input name=q value=1></form>"});
  const ToolRun run = Run({server.Url("/board/page.html")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "form 1 action=a.cgi method=Get\n"
            "  text name=\"q\" value=\"1\" size=20\n"
            "submit q=1\n"
            "tree form 1\n");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].rfind("GET /board/page.html HTTP/1.0\r\n", 0), 0u) << server.Requests()[0];
}

TEST_F(BoardToolForms, FindsOrTakesTheUtf8CodePageAndNamesLostCharacters) {
  const std::string body = "<form action=\"доска.cgi\"><input name=\"q\" value=\"Привет ✓\"></form>";
  const std::string expected =
      "form 1 action=доска.cgi method=Get\n"
      "  text name=\"q\" value=\"Привет ?\" size=20\n"
      "submit q=Привет ?\n"
      "tree form 1\n";
  const std::string note =
      "adweld-board forms: Символы, которых нет в кодировке Windows-1251, заменены на \"?\": "
      "\"✓\" (U+2713)\n";

  // From the reply's Content-Type.
  adw::test::RawServer server(adw::test::RawServer::Mode::Reply,
                              {"HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n" + body});
  ToolRun run = Run({server.Url("/page.html")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, note);

  // From the page's meta, or by --code; --code wins over what the page says.
  const std::string meta = m_dir.Write("meta.html", "<head><meta charset=utf-8></head>" + body);
  const std::string plain = m_dir.Write("plain.html", body);
  run = Run({meta});
  EXPECT_EQ(run.out, expected);
  run = Run({plain, "--code", "utf-8"});
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, note);
  run = Run({meta, "--code", "WIN1251"});
  EXPECT_EQ(run.out.find("Привет"), std::string::npos);
  EXPECT_EQ(run.err, "");
}

TEST_F(BoardToolForms, FailuresAndBadArguments) {
  adw::test::RawServer server(adw::test::RawServer::Mode::Reply, {"HTTP/1.0 404 Not Found\r\n\r\n"});
  const std::string page = m_dir.Write("page.html", "<form></form>");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string errPart;
  };
  const std::vector<Case> cases = {
      {{}, 2, "usage"},
      {{page, "--code", "UTF-16"}, 2, "--code needs"},
      {{page, "--code"}, 2, "--code needs"},
      {{page, "--form", "0"}, 2, "--form needs"},
      {{page, "--form", "x"}, 2, "--form needs"},
      {{page, page}, 2, "usage"},
      {{m_dir.File("missing.html")}, 1, "Can't locate file: " + m_dir.File("missing.html")},
      {{server.Url("/gone.html")}, 1, "Not Found (404)"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << c.errPart;
    EXPECT_EQ(run.out, "") << c.errPart;
    EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
  }
}

// An https page is fetched over TLS; its certificate must be trusted, by
// the system or by the CA file given.
TEST_F(BoardToolForms, HttpsPageNeedsATrustedCertificate) {
  adw::test::TestCertificates certs;
  adw::test::TlsServer server(certs, adw::test::TestCertificates::Kind::Good);
  const ToolRun untrusted = Run({server.Url("/form.html")});
  EXPECT_NE(untrusted.status, 0);
  EXPECT_NE(untrusted.err.find("TLS: certificate verify failed: unable to get local issuer certificate"),
            std::string::npos)
      << untrusted.err;
  const ToolRun trusted = Run({server.Url("/form.html"), "--ca-file", certs.CaFile()});
  EXPECT_EQ(trusted.status, 0) << trusted.err;
}

}  // namespace
