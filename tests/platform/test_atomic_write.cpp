#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/atomic_write.h"
#include "platform/files.h"
#include "support/file_size_cap.h"
#include "support/temp_dir.h"

namespace adw::platform {
namespace {

// The id of a process that has ended (and been reaped), as a killed writer
// leaves it.
long EndedProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

std::string Temporary(const std::string& name, long pid, int n) {
  return "." + name + ".tmp" + std::to_string(pid) + "_" + std::to_string(n);
}

TEST(AtomicWrite, LeftoversOfEndedProcessesGoAtTheNextWriteToTheirDirectory) {
  adw::test::TempDir dir;
  const long ended = EndedProcessId();
  const long self = ::getpid();
  const std::string stale = Temporary("board.prj", ended, 0);
  const std::string staleDotted = Temporary("a.tmp1_1.htm", ended, 7);
  const std::vector<std::string> kept = {
      Temporary("base.dat", self, 3),                  // this process: perhaps being written right now
      Temporary("base.map", 1, 4),                     // a process that runs
      "board.prj.tmp" + std::to_string(ended) + "_0",  // not hidden: not one of ours
      ".board.prj.tmp" + std::to_string(ended) + "_x",
      ".tmp" + std::to_string(ended) + "_0",  // no name before the mark
      "notes.txt",
  };
  dir.Write(stale, "half a file");
  dir.Write(staleDotted, "half a page");
  for (const std::string& name : kept) dir.Write(name, "x");
  ASSERT_EQ(::mkdir(dir.File(Temporary("sub", ended, 5)).c_str(), 0755), 0);

  ASSERT_TRUE(WriteFileAtomicChecked(dir.File("new.txt"), "new"));
  EXPECT_FALSE(FileExists(dir.File(stale)));
  EXPECT_FALSE(FileExists(dir.File(staleDotted)));
  for (const std::string& name : kept) EXPECT_TRUE(FileExists(dir.File(name))) << name;
  EXPECT_TRUE(DirectoryExists(dir.File(Temporary("sub", ended, 5))));

  // The directory is looked through once per process: a big report
  // directory is not listed again at every page.
  dir.Write(stale, "left later");
  ASSERT_TRUE(WriteFileAtomicChecked(dir.File("new.txt"), "newer"));
  EXPECT_TRUE(FileExists(dir.File(stale)));
  EXPECT_EQ(RemoveStaleTemporaries(dir.Path()), 1);
  EXPECT_FALSE(FileExists(dir.File(stale)));
}

TEST(AtomicWrite, TellsAFailedCreateFromAFailedWrite) {
  adw::test::TempDir dir;
  const WriteOutcome missing = WriteFileAtomicChecked(dir.File("missing/a.htm"), "x");
  EXPECT_EQ(missing.failed, WriteOutcome::Step::Open);
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_EQ(SystemErrorText(missing.error), "No such file or directory");

  const std::string path = dir.Write("page.htm", "old page");
  {
    // The file is created, then the disk takes no more than 16 bytes.
    adw::test::FileSizeCap cap(16);
    const WriteOutcome full = WriteFileAtomicChecked(path, std::string(4096, 'p'));
    EXPECT_EQ(full.failed, WriteOutcome::Step::Write);
    EXPECT_EQ(full.error, EFBIG);
  }
  EXPECT_EQ(ReadWholeFile(path), "old page");
  EXPECT_EQ(ListFiles(dir.Path(), "*"), std::vector<std::string>{"page.htm"});  // no temporary left
}

}  // namespace
}  // namespace adw::platform
