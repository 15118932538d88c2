#pragma once
// A thread that calls back at a set moment: the posting run uses it to
// start a job that a board's DELAY held back while no other job was left to
// end and bring the pool back to the main thread. The callback runs on the
// timer's own thread; it hands itself over to the main thread.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace adw::engine {

class WakeTimer {
 public:
  using Clock = std::chrono::steady_clock;
  explicit WakeTimer(std::function<void()> onDue);
  ~WakeTimer();  // Quit() and join; the callback must not be blocked then
  WakeTimer(const WakeTimer&) = delete;
  WakeTimer& operator=(const WakeTimer&) = delete;

  // Calls back once at `when` (at once when it has passed); an earlier
  // moment replaces a later one still pending, a later one is ignored.
  void At(Clock::time_point when);
  void Cancel();
  // Ends the thread once a callback in progress has returned; the thread
  // is started again by the next At.
  void Quit();
  // True when no thread runs (never started, or ended after Quit).
  bool Idle() const;
  // Joins an ended thread so a later At can start a new one.
  void Reap();

 private:
  void Run();

  std::function<void()> m_onDue;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::optional<Clock::time_point> m_due;
  bool m_quit = false;
  bool m_running = false;
  std::thread m_thread;
};

}  // namespace adw::engine
