#pragma once
// A worker hands a call to the main thread and blocks until it has run
// there. The program installs a dispatcher over the window framework's
// event loop; tests and the command-line runner install a simple queue.
#include <functional>

namespace adw::platform {

class IMainThread {
 public:
  virtual ~IMainThread() = default;
  // Runs fn on the main thread and returns once it has run. Called from the
  // main thread itself, it runs fn at once.
  virtual void CallBlocking(const std::function<void()>& fn) = 0;
};

// A dispatcher for programs without a window framework: workers queue
// their calls and the owning thread (the one that created it) runs them in
// RunPending/WaitAndRun. An exception thrown by a call is rethrown in the
// worker that asked for it. It must outlive every worker that uses it.
class QueueMainThread : public IMainThread {
 public:
  QueueMainThread();
  ~QueueMainThread() override;
  void CallBlocking(const std::function<void()>& fn) override;
  // Runs every queued call; returns how many ran.
  int RunPending();
  // Waits until at least one call is queued (or timeoutMs passes), then
  // runs every queued call; returns how many ran.
  int WaitAndRun(int timeoutMs);

 private:
  struct State;
  State* m_state;
};

}  // namespace adw::platform
