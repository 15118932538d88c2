#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"
#include "support/tls_peers.h"
#include "support/tool_run.h"

namespace {

using adw::platform::W;

using adw::test::ToolRun;

// A script directory with two boards (one posting to a server that
// answers, one to a server that hangs up), two ads and a settings file
// with reports and log on.
class RunTool : public ::testing::Test {
 protected:
  RunTool()
      : m_good(adw::test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nposted"}),
        m_bad(adw::test::RawServer::Mode::CloseAtOnce) {
    Board("Good.prj", "NAME=Good\r\nSUBMIT=" + m_good.Url("/add") + "\r\nSUBBODY=t=$TEXT\r\n");
    Board(W("Плохая.prj"), W("NAME=Плохая\r\nSUBMIT=") + m_bad.Url("/add") + "\r\nSUBBODY=t=$TEXT\r\n");
    m_script.Write("base.dat", W("[Ad1]\r\nТекст$TEXT=one\r\nreppath=") + m_reports.Path() +
                                   W("\r\n[Объявление 2]\r\nТекст$TEXT=two\r\nreppath=") + m_reports.Path() +
                                   "\r\n");
    m_settings = m_io.Write(
        "adwelder.ini", "[Save]\r\ncbReports_Checked=True\r\ncbLogFile_Checked=1\r\nedTimeOut_Text=10\r\n");
  }
  void Board(const std::string& fileName, const std::string& projectLines) {
    std::string bytes = adw::engine::Tlzrw1::CompressBytes("[Project]\r\n" + projectLines);
    bytes.replace(0, 4, "ADWP");
    m_script.Write(fileName, bytes);
  }
  ToolRun Run(const std::vector<std::string>& args) { return adw::test::RunTool("adweld-run", args, m_io); }

  adw::test::RawServer m_good;
  adw::test::RawServer m_bad;
  adw::test::TempDir m_script;
  adw::test::TempDir m_reports;
  adw::test::TempDir m_io;
  std::string m_settings;
};

TEST_F(RunTool, AllPostedExitsZeroWithPagesAndLog) {
  const ToolRun run = Run({"--script", m_script.Path(), "--settings", m_settings, "--boards", "Good"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string line = "ok\tGood\t" + m_good.Url("/add") + "\n";
  EXPECT_EQ(run.out, line + line + "jobs=2 succeeded=2 failed=0 unconfirmed=0\n");
  EXPECT_EQ(m_reports.Read("Good.htm"), "posted\r\n");
  const auto requests = m_good.Requests();
  ASSERT_EQ(requests.size(), 2u);
  // Both jobs run at once, so the server may see them in either order.
  const std::string both = requests[0] + requests[1];
  EXPECT_NE(both.find("\r\n\r\nt=one"), std::string::npos);
  EXPECT_NE(both.find("\r\n\r\nt=two"), std::string::npos);
  // The log sits beside the settings file, one entry per job.
  const std::string log = m_io.Read("adwelder.log");
  EXPECT_NE(log.find("= result="), log.rfind("= result="));
}

TEST_F(RunTool, PagesAndLogEntriesThatCannotBeWrittenAreNamedAndExitOne) {
  // Directories where the page and the log should go: refused even for root.
  ASSERT_TRUE(std::filesystem::create_directory(m_reports.File("Good.htm")));
  ASSERT_TRUE(std::filesystem::create_directory(m_io.File("adwelder.log")));
  const ToolRun run =
      Run({"--script", m_script.Path(), "--settings", m_settings, "--boards", "Good", "--ads", "Ad1"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "ok\tGood\t" + m_good.Url("/add") + "\njobs=1 succeeded=1 failed=0 unconfirmed=0\n");
  EXPECT_NE(run.err.find("adweld-run: cannot write result page " + m_reports.File("Good.htm") +
                         ": Is a directory\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("= result="), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("to " + m_io.File("adwelder.log") + ": Is a directory\n"), std::string::npos)
      << run.err;
}

TEST_F(RunTool, AnyFailureExitsOne) {
  const ToolRun run = Run({"--script", m_script.Path(), "--settings", m_settings, "--boards", "all", "--ads",
                           W("Объявление 2"), "--threads", "5"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("ok\tGood\t"), std::string::npos);
  // A failed job's line ends with its reason as a fourth field (the
  // server hangs up during the connect or the send, either may come first).
  const std::string failedLine = "failed\tПлохая\t" + m_bad.Url("/add") + "\t";
  const std::size_t at = run.out.find(failedLine);
  ASSERT_NE(at, std::string::npos) << run.out;
  const std::string reason =
      run.out.substr(at + failedLine.size(), run.out.find('\n', at) - at - failedLine.size());
  EXPECT_TRUE(reason == "Connection Failed" || reason == "10054:Connection reset by peer") << reason;
  EXPECT_NE(run.out.find("jobs=2 succeeded=1 failed=1 unconfirmed=0\n"), std::string::npos);
  EXPECT_EQ(m_reports.Read(W("Плохая.htm")),
            "error retrieving page\r\n<p>" + W("Ошибка: ") + reason + "</p>\r\n");
}

// An https board is trusted through the settings' extra CA file; without
// it the job fails and its line says why.
TEST_F(RunTool, HttpsBoardUsesTheExtraCaFileOfTheSettings) {
  adw::test::TestCertificates certs;
  adw::test::TlsServer server(certs, adw::test::TestCertificates::Kind::Good);
  Board("Secure.prj", "NAME=Secure\r\nSUBMIT=" + server.Url("/add") + "\r\nSUBBODY=t=$TEXT\r\n");
  const std::vector<std::string> args = {"--script", m_script.Path(), "--settings", m_settings,
                                         "--boards", "Secure",        "--ads",      "Ad1"};
  const ToolRun untrusted = Run(args);
  EXPECT_EQ(untrusted.status, 1) << untrusted.err;
  EXPECT_EQ(untrusted.out, "failed\tSecure\t" + server.Url("/add") +
                               "\tTLS: certificate verify failed: unable to get local issuer certificate\n"
                               "jobs=1 succeeded=0 failed=1 unconfirmed=0\n");

  m_io.Write("adwelder.ini", "[Save]\r\ncbReports_Checked=True\r\nedTimeOut_Text=10\r\nedCAFile_Text=" +
                                 certs.CaFile() + "\r\n");
  const ToolRun trusted = Run(args);
  EXPECT_EQ(trusted.status, 0) << trusted.err;
  EXPECT_EQ(m_reports.Read("Secure.htm"), "<html>secure POST /add sni=localhost body=t=one</html>\r\n");
}

// A board whose OK text is missing from its reply leaves the job
// unconfirmed: exit 3 while nothing failed, exit 1 once something did.
TEST_F(RunTool, UnconfirmedJobsExitThreeUnlessOneFailed) {
  adw::test::RawServer refusing(adw::test::RawServer::Mode::Reply, {"HTTP/1.0 403 Forbidden\r\n\r\nno"});
  Board("Strict.prj",
        "NAME=Strict\r\nSUBMIT=" + m_good.Url("/add") + "\r\nSUBBODY=t=$TEXT\r\nOK=Thank you\r\n");
  Board("Refusing.prj", "NAME=Refusing\r\nSUBMIT=" + refusing.Url("/add") + "\r\nSUBBODY=t=$TEXT\r\n");
  ToolRun run =
      Run({"--script", m_script.Path(), "--settings", m_settings, "--boards", "Good,Strict", "--ads", "Ad1"});
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_NE(run.out.find("ok\tGood\t" + m_good.Url("/add") + "\n"), std::string::npos) << run.out;
  EXPECT_NE(
      run.out.find("unconfirmed\tStrict\t" + m_good.Url("/add") + "\t" + "в ответе доски нет текста OK\n"),
      std::string::npos)
      << run.out;
  EXPECT_TRUE(run.out.ends_with("jobs=2 succeeded=1 failed=0 unconfirmed=1\n")) << run.out;

  run = Run(
      {"--script", m_script.Path(), "--settings", m_settings, "--boards", "Strict,Refusing", "--ads", "Ad1"});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("failed\tRefusing\t" + refusing.Url("/add") + "\tдоска ответила статусом 403\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(run.out.ends_with("jobs=2 succeeded=0 failed=1 unconfirmed=1\n")) << run.out;
}

TEST_F(RunTool, BadArgumentsAndUnreadableFilesExitTwo) {
  const std::string script = m_script.Path();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--boards", "all"},
      {"--script"},
      {"--script", script, "--threads", "2"},
      {"--script", script, "--threads", "31"},
      {"--script", script, "--frobnicate", "1"},
      {"--script", script, "--settings", m_settings, "--boards", "Nowhere"},
      {"--script", script, "--settings", m_settings, "--ads", "Nobody"},
      {"--script", m_script.File("missing"), "--settings", m_settings},
      {"--script", script, "--settings", m_io.File("missing.ini")},
  };
  for (const auto& args : cases) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_TRUE(m_good.Requests().empty());

  // A time-out that is not whole seconds 0..999 is named, and nothing is posted.
  const std::string badTimeOut = m_io.Write("bad.ini", "[Save]\r\nedTimeOut_Text=1e3\r\n");
  const ToolRun refused = Run({"--script", script, "--settings", badTimeOut, "--boards", "Good"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("edTimeOut_Text=\"1e3\""), std::string::npos) << refused.err;
  EXPECT_TRUE(m_good.Requests().empty());

  // A ticked board whose file is damaged is skipped; the rest is posted.
  m_script.Write("Broken.prj", "ADWPdamaged");
  const ToolRun run = Run({"--script", script, "--settings", m_settings, "--boards", "all", "--ads", "Ad1"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("ok\tGood\t"), std::string::npos);
  EXPECT_NE(run.err.find("Broken"), std::string::npos);
}

}  // namespace
