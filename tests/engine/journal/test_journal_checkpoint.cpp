#include <gtest/gtest.h>

#include <filesystem>

#include "engine/journal/journal_checkpoint.h"
#include "engine/journal/run_journal.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

// The journal's commits reach the database file through the checkpoint
// thread: its own connection never checkpoints, so without that thread the
// file would stay as it was created while the WAL grew.
TEST(JournalCheckpoint, MovesTheWalIntoTheFileOffTheCommittingThread) {
  test::TempDir dir;
  const std::string path = dir.File("j.db");
  RunJournal journal(path);
  const auto created = std::filesystem::file_size(path);
  EXPECT_FALSE(journal.Checkpoint().WaitUntilDone(1)) << "nothing is due before the WAL fills";

  const std::int64_t run = journal.BeginRun(RunOrigin::Runner, RunKind::Post, 1);
  std::vector<JournalJob> jobs(4000);
  for (std::size_t k = 0; k < jobs.size(); ++k) {
    jobs[k].board = "Board" + std::to_string(k % 100);
    jobs[k].ad = "Ad";
    jobs[k].body = std::string(1000, 'b');
  }
  journal.AddJobs(run, jobs);
  ASSERT_TRUE(journal.Checkpoint().WaitUntilDone(1));
  EXPECT_GT(std::filesystem::file_size(path), created + 4000 * 1000);
  // And the journal reads back whole.
  EXPECT_EQ(journal.Jobs(run).size(), 4000u);
}

}  // namespace
}  // namespace adw::engine
