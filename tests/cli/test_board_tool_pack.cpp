// adweld-board pack / unpack, run as the built program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/file_size_cap.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

using ToolResult = adw::test::ToolRun;

class BoardToolPack : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(adw::platform::FileExists(kTool)) << "build the adweld-board target first";
  }

  ToolResult Run(const std::vector<std::string>& args) const {
    return adw::test::RunTool("adweld-board", args, m_dir);
  }

  const std::string kTool = std::string(ADWELD_BIN_DIR) + "/adweld-board";
  adw::test::TempDir m_dir;
};

TEST_F(BoardToolPack, PackThenUnpackGivesTheTextByteForByte) {
  std::string text = adw::platform::W("[Project]\r\nNAME=Барахолка\r\nSUBBODY=text=$TEXT&send=Отправить\r\n");
  text += std::string("\0\xFF\x01 tail without line end", 25);
  const std::string source = m_dir.Write(adw::platform::W("Барахолка.txt"), text);
  const std::string board = m_dir.File(adw::platform::W("Барахолка.prj"));

  const ToolResult packed = Run({"pack", source, board});
  EXPECT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(packed.err, "");
  const std::string stored = adw::platform::ReadWholeFile(board).value_or("");
  EXPECT_EQ(stored.substr(0, 4), "ADWP");

  const ToolResult unpacked = Run({"unpack", board});
  EXPECT_EQ(unpacked.status, 0) << unpacked.err;
  EXPECT_TRUE(unpacked.out == text);

  // The stored bytes are the container's own.
  const std::string abc = m_dir.Write("abc.txt", "abc");
  ASSERT_EQ(Run({"pack", abc, m_dir.File("abc.prj")}).status, 0);
  EXPECT_EQ(m_dir.Read("abc.prj"), std::string("ADWP\x03\x00\x00\x00\xF6\xFB\xBD\xE0", 12));
}

TEST_F(BoardToolPack, FailuresExitNonZeroWithTheReason) {
  const std::string foreign = m_dir.Write("foreign.prj", "not a board at all");
  const std::string text = m_dir.Write("text.txt", "abc");
  const std::string missing = m_dir.File("missing.prj");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"unpack", missing}, 1, "Cannot open file " + missing},
      {{"unpack", foreign}, 1, foreign + " : Lzrw1 decompression : this file has no valid header !"},
      {{"pack", missing, m_dir.File("out.prj")},
       1,
       "Lzrw1 compression : Failed to obtain the size of : " + missing},
      {{"pack", text, m_dir.File("no/dir/out.prj")},
       1,
       "Lzrw1 (de)compression : Failed to open output file : " + m_dir.File("no/dir/out.prj")},
      {{}, 2, "usage: adweld-board"},
      {{"frobnicate"}, 2, "usage: adweld-board"},
      {{"pack", text}, 2, "usage: adweld-board"},
      {{"unpack", foreign, foreign}, 2, "usage: adweld-board"},
  };
  for (const Case& c : cases) {
    const ToolResult r = Run(c.args);
    const std::string what = c.args.empty() ? std::string("(no arguments)") : c.args[0];
    EXPECT_EQ(r.status, c.status) << what;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << what << ": " << r.err;
    EXPECT_EQ(r.out, "") << what;
  }
  EXPECT_EQ(m_dir.Read("foreign.prj"), "not a board at all");

  // A disk that fills up after the output was created: the write is what
  // failed, with the system's reason, and no part of a board is left.
  std::string noise;
  for (unsigned i = 0; noise.size() < 40000; ++i) noise += std::to_string(i * 2654435761u);
  const std::string big = m_dir.Write("big.txt", noise);
  const std::string out = m_dir.File("big.prj");
  ToolResult full;
  {
    adw::test::FileSizeCap cap(8192);
    full = Run({"pack", big, out});
  }
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("Lzrw1 : Error writing to output file : " + out + " (File too large)"),
            std::string::npos)
      << full.err;
  EXPECT_FALSE(adw::platform::FileExists(out));
  // A missing directory is the create that failed, also with its reason.
  EXPECT_NE(Run({"pack", text, m_dir.File("no/dir/out.prj")}).err.find("(No such file or directory)"),
            std::string::npos);
  // The usage names the commands, the one still to come as well.
  EXPECT_NE(Run({}).err.find("forms"), std::string::npos);
}

}  // namespace
