#pragma once
// Moves the journal's WAL into the database file on a thread of its own.
// The journal commits before every request on the main thread (in the
// window, the thread that paints); SQLite would otherwise checkpoint on the
// committing thread now and then, and a checkpoint waits for the disk to
// flush. The journal's own connection therefore checkpoints never, and this
// thread does it, on a connection of its own, once the WAL holds
// kPagesPerCheckpoint pages (SQLite's own default).
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace adw::engine {

class JournalCheckpoint {
 public:
  static constexpr int kPagesPerCheckpoint = 1000;

  explicit JournalCheckpoint(std::string path) : m_path(std::move(path)) {}
  ~JournalCheckpoint();  // waits for a checkpoint in progress, then ends
  JournalCheckpoint(const JournalCheckpoint&) = delete;
  JournalCheckpoint& operator=(const JournalCheckpoint&) = delete;

  // After a commit on the journal's connection: the pages its WAL holds.
  void Committed(int walPages);
  // Waits until `count` checkpoints have run (for the tests); false when
  // none is due and fewer have run.
  bool WaitUntilDone(int count);

 private:
  void Run();

  const std::string m_path;
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_doneChanged;
  bool m_due = false;
  bool m_running = false;
  bool m_quit = false;
  int m_done = 0;
  std::thread m_thread;  // started by the first checkpoint that is due
};

}  // namespace adw::engine
