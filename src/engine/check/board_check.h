#pragma once
// The board health check: without posting anything, fetch each board's
// REQUEST page, find the form that posts to its SUBMIT, and tell whether the
// form still has every field SUBBODY fills and every list value the MAP
// lines choose.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/board_file.h"

namespace adw::engine {

class RunJournal;

enum class CheckState { Ok, Changed, Unreachable };
std::string_view CheckStateName(CheckState state);  // "ok", "changed", "unreachable"

struct BoardCheckResult {
  std::string board;  // NAME (or the file name when the file could not be read)
  CheckState state = CheckState::Unreachable;
  std::string detail;  // what is gone, or why the page could not be had
};

// The field names SUBBODY sends, in order ("a=1&b=$X" gives a, b).
std::vector<std::string> SubBodyFieldNames(std::string_view subBody);

// Compares a fetched page with the board. page: the reply body as received
// (in the board's code page); pageUrl: the URL it came from (REQUEST).
BoardCheckResult CompareBoardWithPage(const BoardFile& board, std::string_view page,
                                      const std::string& pageUrl);

struct CheckOptions {
  std::string settingsFile;  // the proxy and the time-out, as the wizard reads them
  int parallel = 8;          // fetches at once
};

// Checks the named boards of scriptDir (names: NAMEs or file names without
// ".prj"; empty: every board), fetching their pages in parallel. Results in
// the order of the boards' files.
std::vector<BoardCheckResult> CheckBoards(const std::string& scriptDir, const std::vector<std::string>& names,
                                          const CheckOptions& options);

// Keeps the results in the journal, one row per board.
void RecordChecks(RunJournal& journal, const std::vector<BoardCheckResult>& results, std::int64_t nowMs);

}  // namespace adw::engine
