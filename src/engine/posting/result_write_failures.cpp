#include "engine/posting/result_write_failures.h"

#include <mutex>

#include "platform/text1251.h"

namespace adw::engine {

namespace {

struct Notes {
  std::mutex mutex;
  ResultWriteFailures pending;
};

Notes& TheNotes() {
  static Notes notes;
  return notes;
}

}  // namespace

void NoteResultWriteFailure(ResultWriteFailure failure) {
  Notes& notes = TheNotes();
  std::lock_guard lock(notes.mutex);
  if (notes.pending.kept.size() < kMaxKeptFailures) {
    notes.pending.kept.push_back(std::move(failure));
  } else {
    ++notes.pending.dropped;
  }
}

ResultWriteFailures TakeResultWriteFailures() {
  Notes& notes = TheNotes();
  std::lock_guard lock(notes.mutex);
  ResultWriteFailures taken = std::move(notes.pending);
  notes.pending = {};
  return taken;
}

std::string DescribeResultWriteFailure(const ResultWriteFailure& failure) {
  if (failure.kind == ResultWriteFailure::Kind::ResultPage) {
    return "cannot write result page " + failure.path + ": " + failure.reason;
  }
  return "cannot write log entry \"" + failure.entry + "\" to " + failure.path + ": " + failure.reason;
}

std::string ResultWriteFailureHint(std::size_t count, const ResultWriteFailure& last) {
  const std::string what = last.kind == ResultWriteFailure::Kind::ResultPage
                               ? platform::W("отчет ") + last.path
                               : platform::W("запись журнала ") + last.path;
  return platform::W("Не записано отчетов и записей журнала: ") + std::to_string(count) +
         platform::W(" (последнее — ") + what + ": " + last.reason + ")";
}

}  // namespace adw::engine
