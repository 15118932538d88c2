#include <gtest/gtest.h>

#include "engine/posting/result_write_failures.h"
#include "engine/posting/result_writer.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

std::string Read(const std::string& path) {
  return platform::ReadWholeFile(path).value_or("<missing>");
}

TEST(ResultWriter, WritesEverythingHandedOverInOrderByTheTimeItIsDrained) {
  TakeResultWriteFailures();
  test::TempDir dir;
  const std::string log = dir.File("adwelder.log");
  const auto at = [](int d, int h) {
    return LocalDateTime{std::chrono::year(2024) / 3 / d, TimeOfDay{h, 0, 0}};
  };
  ResultWriter writer(2);
  for (int k = 0; k < 200; ++k) {
    writer.WritePage(dir.File("Board " + std::to_string(k % 50) + ".htm"),
                     "reply " + std::to_string(k) + "\r\n");
  }
  writer.WritePage(dir.File("no/such/Lost.htm"), "x");
  // Entries queued together still get the section of their own date.
  writer.WriteLogEntry(log, LogEntry{at(10, 23), "", 1, "state=ok"});
  writer.WriteLogEntry(log, LogEntry{at(10, 23), "", 2, ""});
  writer.WriteLogEntry(log, LogEntry{at(11, 0), "", 3, ""});
  writer.Drain();

  // Pages of one name keep the order they were handed over in: the last wins.
  for (int b = 0; b < 50; ++b) {
    EXPECT_EQ(Read(dir.File("Board " + std::to_string(b) + ".htm")),
              "reply " + std::to_string(150 + b) + "\r\n");
  }
  EXPECT_EQ(Read(log),
            "[10.03.2024]\r\n23:00:00= result=1 state=ok\r\n23:00:00= result=2\r\n"
            "[11.03.2024]\r\n0:00:00= result=3\r\n");
  const ResultWriteFailures failures = TakeResultWriteFailures();
  ASSERT_EQ(failures.kept.size(), 1u);
  EXPECT_EQ(failures.kept[0].path, dir.File("no/such/Lost.htm"));

  // The writer takes more after a drain, and its end writes what is left.
  writer.WriteLogEntry(log, LogEntry{at(11, 1), "", 4, ""});
  {
    ResultWriter last(1);
    last.WritePage(dir.File("Board 0.htm"), "final");
  }
  EXPECT_EQ(Read(dir.File("Board 0.htm")), "final");
  writer.Drain();
  EXPECT_NE(Read(log).find("\n1:00:00= result=4\r\n"), std::string::npos);
}

}  // namespace
}  // namespace adw::engine
