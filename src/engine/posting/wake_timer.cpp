#include "engine/posting/wake_timer.h"

#include <utility>

namespace adw::engine {

WakeTimer::WakeTimer(std::function<void()> onDue) : m_onDue(std::move(onDue)) {}

WakeTimer::~WakeTimer() {
  Quit();
  if (m_thread.joinable()) m_thread.join();
}

void WakeTimer::At(Clock::time_point when) {
  std::unique_lock lock(m_mutex);
  if (m_due && *m_due <= when) return;
  m_due = when;
  if (!m_running) {
    lock.unlock();
    Reap();
    lock.lock();
    m_quit = false;
    m_running = true;
    m_thread = std::thread([this] { Run(); });
  }
  m_changed.notify_one();
}

void WakeTimer::Cancel() {
  std::lock_guard lock(m_mutex);
  m_due.reset();
  m_changed.notify_one();
}

void WakeTimer::Quit() {
  std::lock_guard lock(m_mutex);
  m_quit = true;
  m_due.reset();
  m_changed.notify_one();
}

bool WakeTimer::Idle() const {
  std::lock_guard lock(m_mutex);
  return !m_running;
}

void WakeTimer::Reap() {
  {
    std::lock_guard lock(m_mutex);
    if (m_running) return;
  }
  if (m_thread.joinable()) m_thread.join();
}

void WakeTimer::Run() {
  std::unique_lock lock(m_mutex);
  while (!m_quit) {
    if (!m_due) {
      m_changed.wait(lock);
      continue;
    }
    if (Clock::now() < *m_due) {
      m_changed.wait_until(lock, *m_due);
      continue;
    }
    m_due.reset();
    lock.unlock();
    m_onDue();
    lock.lock();
  }
  m_running = false;
}

}  // namespace adw::engine
