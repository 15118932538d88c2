#pragma once
// The thread that puts a run's result pages and log entries on the disk.
// The main thread (in the window, the one that paints) hands each page and
// entry over and goes on at once; the writer writes them in the order they
// came, joins log entries that queued up meanwhile into one append, and
// notes every failure for TakeResultWriteFailures as the writers always
// did. Drain waits until everything handed over is written, so the end of
// a run still finds every page and entry of it in place.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/posting/run_results.h"

namespace adw::engine {

class ResultWriter {
 public:
  // Handed-over bytes beyond this make WritePage wait for the writer, so a
  // slow disk under a fast run cannot fill the memory with replies.
  static constexpr std::size_t kMaxQueuedBytes = 64u << 20;

  // Pages go to the disk on `threads` threads at once (a file create is
  // mostly the kernel's work, and two of them overlap); one path always
  // goes to the same thread, so two pages of one name keep their order.
  explicit ResultWriter(int threads = 2);
  ~ResultWriter();  // writes what is queued, then ends the threads
  ResultWriter(const ResultWriter&) = delete;
  ResultWriter& operator=(const ResultWriter&) = delete;

  // The page's whole content (ResultPageContent), written whole or not at all.
  void WritePage(std::string path, std::string content);
  void WriteLogEntry(std::string logPath, LogEntry entry);
  // Returns once everything handed over before the call is written or its
  // failure noted.
  void Drain();

 private:
  struct Item {
    bool page = false;
    std::string path;
    std::string content;  // a page's bytes
    LogEntry entry;       // a log entry
  };
  struct Lane {
    std::mutex mutex;
    std::condition_variable work;  // the thread waits for items
    std::condition_variable done;  // Drain and a full queue wait for the thread
    std::deque<Item> queue;
    std::size_t queuedBytes = 0;
    bool busy = false;
    bool quit = false;
    std::thread thread;  // started by the lane's first item
  };
  void Push(Item item, std::size_t bytes);
  void Run(Lane& lane);
  static void Write(std::deque<Item>& batch);

  std::vector<std::unique_ptr<Lane>> m_lanes;
};

}  // namespace adw::engine
