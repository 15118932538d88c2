#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "engine/wizard/board_export.h"
#include "engine/wizard/submit_capture.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

using adw::engine::CaptureSubmission;
using adw::engine::ExportBoardFile;
using adw::engine::PreviewTextLines;

TEST(SubmitCapture, JoinsThePairsTrimsTheBodyAndKeepsTheUrlBox) {
  const auto capture =
      CaptureSubmission("http://h/board/", "", "add.cgi", {"TEMA=$TEMA", "RUB=3", "TEXT=$TEXT  \t"});
  EXPECT_EQ(capture.body, "TEMA=$TEMA&RUB=3&TEXT=$TEXT");
  EXPECT_EQ(capture.submitURL, "http://h/board/add.cgi");
  EXPECT_EQ(capture.pageURL, "http://h/board/");

  // Blanks inside the body stay; only its ends are trimmed.
  EXPECT_EQ(CaptureSubmission("http://h/", "", "a", {" A=1 ", " B=2 "}).body, "A=1 & B=2");
  // No pairs, no body; the base stands in for the page but not in the page URL.
  const auto empty = CaptureSubmission("http://h/b/", "http://cgi.h/bin/", "add", {});
  EXPECT_EQ(empty.body, "");
  EXPECT_EQ(empty.submitURL, "http://cgi.h/bin/add");
  EXPECT_EQ(empty.pageURL, "http://h/b/");
}

TEST(BoardExport, PreviewTextSplitsAtLineBreaksOnly) {
  EXPECT_TRUE(PreviewTextLines("").empty());
  EXPECT_EQ(PreviewTextLines("A=1"), (std::vector<std::string>{"A=1"}));
  EXPECT_EQ(PreviewTextLines("A=1\n\nB=2\n"), (std::vector<std::string>{"A=1", "", "B=2", ""}));
}

TEST(BoardExport, StoresTheLinesAsABoardFileAndOverwritesWithoutAsking) {
  adw::test::TempDir scripts;
  adw::test::TempDir temp;
  const std::string tempDir = temp.Path() + "/";
  temp.Write("temp.html", "<html>");
  const std::string longLine = "SUBBODY=" + std::string(5000, 'x');

  ExportBoardFile({"[Main]", "NAME=Доска", longLine}, scripts.Path() + "/", "doska.prj", tempDir);
  EXPECT_EQ(scripts.Read("doska.prj").substr(0, 4), "ADWP");
  EXPECT_EQ(adw::engine::ReadBoardText(scripts.File("doska.prj")),
            "[Main]\r\nNAME=Доска\r\n" + longLine + "\r\n");
  EXPECT_EQ(temp.Read("temp.prj"), "[Main]\r\nNAME=Доска\r\n" + longLine + "\r\n");
  EXPECT_FALSE(adw::platform::FileExists(temp.File("temp.html")));

  // Again under the same name, now empty: replaced, plain size 0.
  ExportBoardFile({}, scripts.Path() + "/", "doska.prj", tempDir);
  EXPECT_EQ(adw::engine::ReadBoardText(scripts.File("doska.prj")), "");
  EXPECT_EQ(scripts.Read("doska.prj").substr(4, 4), std::string(4, '\0'));
}

TEST(BoardExport, RefusesTargetsOutsideTheScriptDirectory) {
  adw::test::TempDir scripts;
  adw::test::TempDir temp;
  struct Case {
    std::string scriptDir;
    std::string name;
  };
  const std::vector<Case> cases = {
      {"/", "doska.prj"},  // no stored script directory
      {scripts.Path() + "/", scripts.File("doska.prj")},
      {scripts.Path() + "/", "../doska.prj"},
      {scripts.Path() + "/", ".."},
      {scripts.Path() + "/", ""},
  };
  for (const Case& c : cases) {
    try {
      ExportBoardFile({"[Main]"}, c.scriptDir, c.name, temp.Path() + "/");
      ADD_FAILURE() << c.scriptDir << " + " << c.name << " was stored";
    } catch (const adw::engine::ELzrw1Exception& e) {
      EXPECT_EQ(std::string(e.what()),
                "Lzrw1 (de)compression : Failed to open output file : " + c.scriptDir + c.name);
    }
    // The plain copy stays for the user.
    EXPECT_EQ(temp.Read("temp.prj"), "[Main]\r\n");
  }
}

TEST(BoardExport, AnUnwritableTemporaryDirectoryStoresNothing) {
  adw::test::TempDir scripts;
  EXPECT_THROW(ExportBoardFile({"[Main]"}, scripts.Path() + "/", "doska.prj", scripts.File("missing/")),
               adw::platform::FileError);
  EXPECT_FALSE(adw::platform::FileExists(scripts.File("doska.prj")));
}

}  // namespace
