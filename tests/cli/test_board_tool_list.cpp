#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "engine/base/short_date.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

using adw::platform::W;

using adw::test::ToolRun;

class BoardToolList : public ::testing::Test {
 protected:
  ToolRun Run(const std::vector<std::string>& args) {
    std::vector<std::string> all{"list"};
    all.insert(all.end(), args.begin(), args.end());
    return adw::test::RunTool("adweld-board", all, m_io);
  }
  // Stores a board file whose plain text holds the given Project lines.
  void Board(const std::string& fileName, const std::string& projectLines) {
    std::string bytes = adw::engine::Tlzrw1::CompressBytes("[Project]\r\n" + projectLines + "[MAP]\r\n");
    bytes.replace(0, 4, "ADWP");
    m_dir.Write(fileName, bytes);
  }

  adw::test::TempDir m_dir;
  adw::test::TempDir m_io;
};

TEST_F(BoardToolList, ListsEveryBoardAndNamesTheUnreadableOnes) {
  Board("a-due.prj", "NAME=Due\r\nLASTSEND=01.03.2024\r\nPeriod=2\r\n");
  m_dir.Write("b-plain.prj", "[Project]\r\nNAME=Plain\r\n");
  Board("c-nokeys.prj", "NAME=No keys\r\n");
  Board("d-baddate.prj", "NAME=Bad\r\nLASTSEND=31.02.2024\r\nPeriod=1\r\n");
  // One name as the program makes it from a cp1251 NAME, one made in UTF-8.
  Board(W("Барахолка") + ".prj", W("NAME=Барахолка 2\r\n"));
  Board("Доска.prj", W("NAME=Доска\r\nLASTSEND=07.03.2024\r\nPeriod=3\r\n"));

  const ToolRun run = Run({"--today", "10.03.2024", m_dir.Path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "a-due.prj\tDue\t01.03.2024\t2\tyes\n"
            "c-nokeys.prj\tNo keys\t\t\tno\n"
            "d-baddate.prj\tBad\t31.02.2024\t1\tno\n"
            "Барахолка.prj\tБарахолка 2\t\t\tno\n"
            "Доска.prj\tДоска\t07.03.2024\t3\tno\n");
  EXPECT_NE(run.err.find("b-plain.prj: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("d-baddate.prj: LASTSEND: '31.02.2024' is not a valid date"), std::string::npos)
      << run.err;
  EXPECT_EQ(m_dir.Read("b-plain.prj"), "[Project]\r\nNAME=Plain\r\n");
}

TEST_F(BoardToolList, DueIsJudgedOnTheMachinesDate) {
  using std::chrono::days;
  using std::chrono::sys_days;
  const std::string fiveDaysAgo = adw::engine::FormatShortDate(sys_days(adw::engine::Today()) - days(5));
  Board("due.prj", "NAME=Due\r\nLASTSEND=" + fiveDaysAgo + "\r\nPeriod=2\r\n");
  Board("later.prj", "NAME=Later\r\nLASTSEND=" + fiveDaysAgo + "\r\nPeriod=30\r\n");

  const ToolRun run = Run({m_dir.Path()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "due.prj\tDue\t" + fiveDaysAgo + "\t2\tyes\nlater.prj\tLater\t" + fiveDaysAgo + "\t30\tno\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(BoardToolList, EmptyDirectoryListsNothing) {
  const ToolRun run = Run({m_dir.Path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
}

TEST_F(BoardToolList, BadArgumentsAndMissingDirectoryFail) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {{}, 2},
      {{"--today", "31.02.2024", m_dir.Path()}, 2},
      {{"--today"}, 2},
      {{m_dir.Path(), m_dir.Path()}, 2},
      {{m_dir.File("missing")}, 1},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << (c.args.empty() ? "" : c.args.front());
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
  }
}

}  // namespace
