#include "platform/main_thread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace adw::platform {

struct QueueMainThread::State {
  struct Call {
    const std::function<void()>* fn = nullptr;
    bool done = false;
    std::exception_ptr error;
    // Each waiting worker has its own, so a finished call wakes only the
    // worker that asked for it, not every worker blocked in a hand-over.
    std::condition_variable finished;
  };
  std::thread::id owner = std::this_thread::get_id();
  std::mutex mutex;
  std::condition_variable queued;  // a call was queued
  std::deque<Call*> calls;
};

QueueMainThread::QueueMainThread() : m_state(new State) {}

QueueMainThread::~QueueMainThread() {
  delete m_state;
}

void QueueMainThread::CallBlocking(const std::function<void()>& fn) {
  if (std::this_thread::get_id() == m_state->owner) {
    fn();
    return;
  }
  State::Call call;
  call.fn = &fn;
  std::unique_lock lock(m_state->mutex);
  m_state->calls.push_back(&call);
  m_state->queued.notify_one();
  call.finished.wait(lock, [&] { return call.done; });
  // An exception of the call belongs to the worker that asked for it.
  if (call.error) std::rethrow_exception(call.error);
}

int QueueMainThread::RunPending() {
  int ran = 0;
  for (;;) {
    State::Call* call;
    {
      std::lock_guard lock(m_state->mutex);
      if (m_state->calls.empty()) break;
      call = m_state->calls.front();
      m_state->calls.pop_front();
    }
    try {
      (*call->fn)();
    } catch (...) {
      call->error = std::current_exception();
    }
    {
      // Notified under the lock: once done is seen the worker may leave and
      // take the call (and its condition variable) with it.
      std::lock_guard lock(m_state->mutex);
      call->done = true;
      call->finished.notify_one();
    }
    ++ran;
  }
  return ran;
}

int QueueMainThread::WaitAndRun(int timeoutMs) {
  {
    std::unique_lock lock(m_state->mutex);
    m_state->queued.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                             [&] { return !m_state->calls.empty(); });
  }
  return RunPending();
}

}  // namespace adw::platform
