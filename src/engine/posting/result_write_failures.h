#pragma once
// Result pages and log entries that could not be written. A run goes on
// without them, as it always did, but no longer in silence: the writers
// note every failure here, from whatever thread writes, and the window and
// adweld-run take the notes after each report and at the run's end.
#include <string>
#include <vector>

namespace adw::engine {

struct ResultWriteFailure {
  enum class Kind { ResultPage, LogEntry };
  Kind kind = Kind::ResultPage;
  std::string path;    // the page, or the log file (cp1251)
  std::string entry;   // for a log entry: its "key=value" line, without the line break
  std::string reason;  // the system's reason ("No space left on device")
};

// Notes a failure. Only the first kMaxKeptFailures untaken notes are kept;
// the rest are counted.
void NoteResultWriteFailure(ResultWriteFailure failure);
inline constexpr std::size_t kMaxKeptFailures = 1000;

struct ResultWriteFailures {
  std::vector<ResultWriteFailure> kept;  // in the order they happened
  std::size_t dropped = 0;               // noted beyond kMaxKeptFailures
  bool Empty() const { return kept.empty() && dropped == 0; }
  std::size_t Count() const { return kept.size() + dropped; }
};
// The notes since the last call, which are then forgotten.
ResultWriteFailures TakeResultWriteFailures();

// One line naming what could not be written and why (English, cp1251
// paths): "cannot write result page /r/Board.htm: No space left on device".
std::string DescribeResultWriteFailure(const ResultWriteFailure& failure);

// The status bar line for failures of a run (cp1251): how many, and the
// last one with its reason.
std::string ResultWriteFailureHint(std::size_t count, const ResultWriteFailure& last);

}  // namespace adw::engine
