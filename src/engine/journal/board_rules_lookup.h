#pragma once
// Board rules for jobs read back from the run journal. A row keeps the
// request as it was built (URL, body, referer) but not how its board's
// reply is judged, whether the form is fetched fresh first, or the spacing
// of postings: those come from the board file as it stands now, the same
// way a new job list reads them.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "engine/base/board_file.h"
#include "engine/journal/run_journal.h"
#include "engine/posting/job_list.h"

namespace adw::engine {

class BoardRulesLookup {
 public:
  // scriptDir: where the board files named in the rows are.
  explicit BoardRulesLookup(std::string scriptDir);

  // Gives the job its board's rules and DELAY. An empty string when it got
  // them; otherwise why the board file cannot be used (gone, unreadable,
  // DELAY unreadable) and the job is left without rules. Each board file
  // is read once per lookup, however many jobs name it.
  std::string Attach(JournalJob& job);

 private:
  struct Board {
    BoardJobSettings settings;
    std::string problem;
  };
  const Board& Find(const std::string& fileName);

  std::string m_scriptDir;
  BoardFileNames m_files;  // found as the job list finds them
  std::unordered_map<std::string, Board> m_boards;
};

}  // namespace adw::engine
