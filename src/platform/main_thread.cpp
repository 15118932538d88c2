#include "platform/main_thread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace adw::platform {

struct QueueMainThread::State {
  // How a worker waits for its call: a mutex and condition variable of its
  // own, so neither side wakes the other only to find a lock taken. The
  // main thread holds a reference while it signals, so a worker that sees
  // its call done and leaves (even ends its thread) cannot take them away
  // under the signal.
  struct Waiter {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
  };
  struct Call {
    const std::function<void()>* fn = nullptr;
    std::exception_ptr error;
    std::shared_ptr<Waiter> waiter;
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
  // One waiter a thread, made once: the calls of a thread come one at a time.
  thread_local const std::shared_ptr<State::Waiter> waiter = std::make_shared<State::Waiter>();
  waiter->done = false;
  State::Call call;
  call.fn = &fn;
  call.waiter = waiter;
  {
    std::lock_guard lock(m_state->mutex);
    m_state->calls.push_back(&call);
  }
  m_state->queued.notify_one();
  {
    std::unique_lock lock(waiter->mutex);
    waiter->finished.wait(lock, [&] { return waiter->done; });
  }
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
    // Once done is seen the worker may leave and take the call with it:
    // only the waiter, held here, is touched after that.
    const std::shared_ptr<State::Waiter> waiter = call->waiter;
    {
      std::lock_guard lock(waiter->mutex);
      waiter->done = true;
    }
    waiter->finished.notify_one();
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
