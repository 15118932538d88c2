#include "engine/journal/journal_checkpoint.h"

#include <exception>
#include <memory>

#include "platform/sqlite_db.h"

namespace adw::engine {

JournalCheckpoint::~JournalCheckpoint() {
  {
    std::lock_guard lock(m_mutex);
    m_quit = true;
  }
  m_wake.notify_one();
  if (m_thread.joinable()) m_thread.join();
}

void JournalCheckpoint::Committed(int walPages) {
  if (walPages < kPagesPerCheckpoint) return;
  {
    std::lock_guard lock(m_mutex);
    if (m_due) return;
    m_due = true;
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
  }
  m_wake.notify_one();
}

bool JournalCheckpoint::WaitUntilDone(int count) {
  std::unique_lock lock(m_mutex);
  m_doneChanged.wait(lock, [&] { return m_done >= count || (!m_due && !m_running); });
  return m_done >= count;
}

void JournalCheckpoint::Run() {
  std::unique_ptr<platform::SqliteDb> db;
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [&] { return m_due || m_quit; });
    if (m_quit) return;
    m_due = false;
    m_running = true;
    lock.unlock();
    try {
      if (!db) db = std::make_unique<platform::SqliteDb>(m_path, platform::SqliteDb::Mode::ReadWrite);
      // PASSIVE: copies what no reader still needs and never makes the
      // journal's writer wait; what it leaves is taken by the next one.
      db->Exec("PRAGMA wal_checkpoint(PASSIVE)");
    } catch (const std::exception&) {
      // A checkpoint that fails now is done by a later one or when the
      // journal is closed; the commits themselves are not at risk.
    }
    lock.lock();
    ++m_done;
    m_running = false;
    m_doneChanged.notify_all();
  }
}

}  // namespace adw::engine
