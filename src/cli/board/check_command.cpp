// adweld-board check SCRIPT_DIR [NAME,...] [--settings FILE]
// Fetches every board's REQUEST page (in parallel, with the proxy and the
// time-out of the settings file) and compares its form with the board:
// one line per board, STATE<TAB>NAME<TAB>DETAIL, STATE being ok, changed or
// unreachable. The results also go into the run journal beside the settings
// file. Exit status 0 when every board is ok, 1 otherwise.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cli/board/commands.h"
#include "engine/check/board_check.h"
#include "engine/journal/run_journal.h"
#include "engine/shell/settings_file.h"
#include "platform/config_location.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

void Usage() {
  std::fputs("usage: adweld-board check SCRIPT_DIR [NAME,...] [--settings FILE]\n", stderr);
}

std::string Field(const std::string& cp1251) {
  std::string text = adw::platform::Cp1251ToUtf8(cp1251);
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

int RunCheck(int argc, char** argv) {
  using namespace adw;
  std::string dir;
  std::vector<std::string> names;
  std::string settings;
  bool haveNames = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--settings" && i + 1 < argc) {
      settings = argv[++i];
    } else if (dir.empty() && !arg.empty() && arg.front() != '-') {
      dir = arg;
    } else if (!haveNames && !arg.empty() && arg.front() != '-') {
      haveNames = true;
      std::string_view list = arg;
      while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string name = platform::Trim(list.substr(0, comma));
        if (!name.empty()) names.push_back(name);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
      }
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
    std::fprintf(stderr, "adweld-board check: %s: no such directory\n", Field(dir).c_str());
    return kExitFailed;
  }
  if (settings.empty()) settings = platform::ConfigFilePath("adwelder.ini");

  engine::CheckOptions options;
  options.settingsFile = settings;
  const auto results = engine::CheckBoards(dir, names, options);
  if (results.empty() && haveNames) {
    std::fprintf(stderr, "adweld-board check: no such board in %s\n", Field(dir).c_str());
    return kExitFailed;
  }
  bool allOk = true;
  for (const auto& result : results) {
    std::printf("%s\t%s\t%s\n", std::string(engine::CheckStateName(result.state)).c_str(),
                Field(result.board).c_str(), Field(result.detail).c_str());
    allOk = allOk && result.state == engine::CheckState::Ok;
  }
  std::fflush(stdout);
  try {
    engine::RunJournal journal(engine::JournalFileName(settings));
    engine::RecordChecks(journal, results, engine::NowMs());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "adweld-board check: results not kept: %s\n", Field(error.what()).c_str());
  }
  return allOk ? kExitOk : kExitFailed;
}
