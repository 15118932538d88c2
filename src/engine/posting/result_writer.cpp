#include "engine/posting/result_writer.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace adw::engine {

ResultWriter::ResultWriter(int threads) {
  for (int k = 0; k < std::max(threads, 1); ++k) m_lanes.push_back(std::make_unique<Lane>());
}

ResultWriter::~ResultWriter() {
  for (auto& lane : m_lanes) {
    {
      std::lock_guard lock(lane->mutex);
      lane->quit = true;
    }
    lane->work.notify_one();
  }
  for (auto& lane : m_lanes) {
    if (lane->thread.joinable()) lane->thread.join();
  }
}

void ResultWriter::WritePage(std::string path, std::string content) {
  const std::size_t bytes = content.size() + path.size();
  Item item;
  item.page = true;
  item.path = std::move(path);
  item.content = std::move(content);
  Push(std::move(item), bytes);
}

void ResultWriter::WriteLogEntry(std::string logPath, LogEntry entry) {
  const std::size_t bytes = logPath.size() + entry.text.size() + entry.reason.size();
  Item item;
  item.path = std::move(logPath);
  item.entry = std::move(entry);
  Push(std::move(item), bytes);
}

void ResultWriter::Push(Item item, std::size_t bytes) {
  Lane& lane = *m_lanes[std::hash<std::string>{}(item.path) % m_lanes.size()];
  const std::size_t bound = kMaxQueuedBytes / m_lanes.size();
  {
    std::unique_lock lock(lane.mutex);
    // Wait only while the thread has work of its own to get through: one
    // reply larger than the bound still goes in when the queue is empty.
    lane.done.wait(lock, [&] { return lane.queue.empty() || lane.queuedBytes + bytes <= bound; });
    lane.queue.push_back(std::move(item));
    lane.queuedBytes += bytes;
    if (!lane.thread.joinable()) lane.thread = std::thread([this, &lane] { Run(lane); });
  }
  lane.work.notify_one();
}

void ResultWriter::Drain() {
  for (auto& lane : m_lanes) {
    std::unique_lock lock(lane->mutex);
    lane->done.wait(lock, [&] { return lane->queue.empty() && !lane->busy; });
  }
}

void ResultWriter::Run(Lane& lane) {
  std::unique_lock lock(lane.mutex);
  for (;;) {
    lane.work.wait(lock, [&] { return !lane.queue.empty() || lane.quit; });
    if (lane.queue.empty()) return;  // quit, and nothing left to write
    std::deque<Item> batch;
    batch.swap(lane.queue);
    // Items pushed while this batch is written add to the count; only the
    // batch's own bytes come off it afterwards.
    const std::size_t writing = lane.queuedBytes;
    lane.busy = true;
    lock.unlock();
    Write(batch);
    lock.lock();
    lane.queuedBytes -= writing;
    lane.busy = false;
    lane.done.notify_all();
  }
}

void ResultWriter::Write(std::deque<Item>& batch) {
  std::vector<LogEntry> entries;
  std::string logPath;
  const auto flushLog = [&] {
    if (!entries.empty()) WriteLogEntries(logPath, entries);
    entries.clear();
  };
  for (Item& item : batch) {
    if (item.page) {
      WriteResultPageContent(item.path, item.content);
      continue;
    }
    if (item.path != logPath) {
      flushLog();
      logPath = item.path;
    }
    entries.push_back(std::move(item.entry));
  }
  flushLog();
}

}  // namespace adw::engine
