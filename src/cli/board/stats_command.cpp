// adweld-board stats SCRIPT_DIR [--db FILE]
// The statistics of every board of a script directory from the run journal
// (by default adwelder.db beside the program): one tab-separated line per
// board after a header line, boards without history with "-".
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <unordered_map>

#include "cli/board/commands.h"
#include "engine/base/board_list.h"
#include "engine/base/short_date.h"
#include "engine/journal/board_stats.h"
#include "engine/journal/run_journal.h"
#include "engine/shell/settings_file.h"
#include "platform/config_location.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

void Usage() {
  std::fputs("usage: adweld-board stats SCRIPT_DIR [--db FILE]\n", stderr);
}

}  // namespace

int RunStats(int argc, char** argv) {
  using namespace adw;
  std::string dir;
  std::string db;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--db" && i + 1 < argc) {
      db = argv[++i];
    } else if (dir.empty() && !arg.empty() && arg.front() != '-') {
      dir = arg;
    } else {
      Usage();
      return kExitUsage;
    }
  }
  if (dir.empty()) {
    Usage();
    return kExitUsage;
  }
  if (!platform::DirectoryExists(dir)) {
    std::fprintf(stderr, "adweld-board stats: %s: no such directory\n", platform::Cp1251ToUtf8(dir).c_str());
    return kExitFailed;
  }
  if (db.empty()) db = engine::JournalFileName(platform::ConfigFilePath("adwelder.ini"));
  // Statistics never create a journal: a wrong path is an error.
  if (!platform::FileExists(db)) {
    std::fprintf(stderr, "adweld-board stats: no run journal at %s\n", platform::Cp1251ToUtf8(db).c_str());
    return kExitFailed;
  }
  try {
    engine::RunJournal journal(db);
    const auto all = engine::ComputeBoardStats(journal, engine::NowMs());
    std::unordered_map<std::string, const engine::BoardStats*> byName;
    for (const auto& stats : all) byName.emplace(stats.board, &stats);
    std::vector<engine::BoardStats> shown;
    for (const auto& board : engine::ScanBoards(dir, engine::Today()).boards) {
      const auto found = byName.find(board.name);
      if (found != byName.end()) {
        shown.push_back(*found->second);
      } else {
        shown.emplace_back();
        shown.back().board = board.name;
      }
    }
    const std::string table = platform::Cp1251ToUtf8(engine::FormatStatsTable(shown));
    std::fwrite(table.data(), 1, table.size(), stdout);
    std::fflush(stdout);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "adweld-board stats: %s\n", platform::Cp1251ToUtf8(error.what()).c_str());
    return kExitFailed;
  }
  return kExitOk;
}
