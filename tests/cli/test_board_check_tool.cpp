// adweld-board check and stats against the demo boards: one board as it is
// served, one whose form has lost a field the board file sends, one whose
// list lost a value, and one whose server is down.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/board_container.h"
#include "engine/journal/run_journal.h"
#include "engine/journal/run_recorder.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

using adw::platform::W;

class BoardCheckTool : public ::testing::Test {
 protected:
  BoardCheckTool() {
    const std::string port = std::to_string(m_server.Port());
    for (const char* name : {"Барахолка", "Городская доска", "Закрытая доска"}) {
      // Paths are cp1251 text inside the program; the files are UTF-8.
      std::string text = adw::platform::ReadWholeFile(std::string(ADWELD_SOURCE_DIR) +
                                                      "/examples/demo/boards/" + W(name) + ".txt")
                             .value_or("");
      EXPECT_FALSE(text.empty()) << name;
      for (std::size_t at = text.find("8765"); at != std::string::npos; at = text.find("8765", at)) {
        text.replace(at, 4, port);
      }
      if (std::string(name) == "Городская доска") {
        // The file sends a field the form does not have, as after a board
        // renamed one of its fields.
        text.replace(text.find("contact="), 8, "kontakt=");
      }
      if (std::string(name) == "Закрытая доска") text += "tablet$cat=Планшеты$comp\r\n";
      Board(W(name), W(text));
    }
    const int closed = adw::test::FreeLoopbackPort();
    Board("Down", "[Project]\r\nNAME=Down\r\nSUBMIT=http://127.0.0.1:" + std::to_string(closed) +
                      "/add\r\nSUBBODY=a=1\r\nREQUEST=http://127.0.0.1:" + std::to_string(closed) + "/\r\n");
    m_settings = m_io.Write("adwelder.ini", "[Save]\r\nedTimeOut_Text=10\r\n");
  }
  void Board(const std::string& name, const std::string& text) {
    std::string bytes = adw::engine::Tlzrw1::CompressBytes(text);
    bytes.replace(0, 4, "ADWP");
    m_script.Write(name + ".prj", bytes);
  }

  adw::test::DemoBoardServer m_server;
  adw::test::TempDir m_script;
  adw::test::TempDir m_io;
  std::string m_settings;
};

TEST_F(BoardCheckTool, ReportsEachBoardAndKeepsTheResultsForTheStatistics) {
  const auto run =
      adw::test::RunTool("adweld-board", {"check", m_script.Path(), "--settings", m_settings}, m_io);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("ok\tБарахолка\t\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("changed\tГородская доска\tfields gone: kontakt\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("changed\tЗакрытая доска\tvalues gone: cat=tablet\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("unreachable\tDown\tConnection refused"), std::string::npos) << run.out;

  const auto one = adw::test::RunTool(
      "adweld-board", {"check", m_script.Path(), W("Барахолка,Нет такой"), "--settings", m_settings}, m_io);
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, "ok\tБарахолка\t\n");

  // A posting history next to the checks.
  {
    adw::engine::RunJournal journal(m_io.File("adwelder.db"));
    adw::engine::JournalJob job;
    job.board = "Down";
    job.ad = "Ad";
    job.label = "Down\t";
    adw::engine::RunRecorder recorder(journal, adw::engine::RunOrigin::Runner, adw::engine::RunKind::Post,
                                      {job, job, job});
    for (int k = 0; k < 3; ++k) {
      adw::engine::JobResult result;
      result.jobIndex = k;
      result.verdict = (k == 0) ? adw::engine::JobVerdict::Ok : adw::engine::JobVerdict::Failed;
      result.lastSocketError = 111;
      recorder.JobStarting(k);
      recorder.Settle();
      recorder.JobReported(result);
    }
    recorder.RunEnded();
  }
  const auto stats =
      adw::test::RunTool("adweld-board", {"stats", m_script.Path(), "--db", m_io.File("adwelder.db")}, m_io);
  EXPECT_EQ(stats.status, 0) << stats.err;
  EXPECT_EQ(stats.out.substr(0, stats.out.find('\n')),
            "board\tsuccess_30d\tjobs_30d\tlast_success\tmedian_ms\tlast3\tlast_error_at\tlast_error\tcheck");
  const std::size_t down = stats.out.find("\nDown\t33%\t3\t");
  ASSERT_NE(down, std::string::npos) << stats.out;
  const std::string downLine = stats.out.substr(down + 1, stats.out.find('\n', down + 1) - down - 1);
  EXPECT_NE(downLine.find("\tfailed: socket error 111\tunreachable (Connection refused"), std::string::npos)
      << downLine;
  EXPECT_NE(stats.out.find("\nГородская доска\t-\t0\t-\t-\t-\t-\t-\tchanged (fields gone: kontakt)\n"),
            std::string::npos)
      << stats.out;

  const auto missing =
      adw::test::RunTool("adweld-board", {"stats", m_script.Path(), "--db", m_io.File("nothing.db")}, m_io);
  EXPECT_EQ(missing.status, 1);
  EXPECT_FALSE(adw::platform::FileExists(m_io.File("nothing.db")));
}

}  // namespace
