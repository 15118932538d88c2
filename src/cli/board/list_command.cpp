// adweld-board list [--today dd.MM.yyyy] DIR
// One tab-separated line per board file of the script directory, in file
// name order: file name, NAME, LASTSEND, Period (empty when the key is
// absent) and "yes" or "no" for whether the board is due. Boards that could
// not be read, or whose LASTSEND or Period could not be converted, are named
// on standard error with the reason, and the exit status is then 1.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/board/commands.h"
#include "engine/base/board_list.h"
#include "engine/base/short_date.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

// File names come from the disk as they are: names made on this system are
// UTF-8 already, names the program made from a cp1251 NAME are not. Error
// reasons mix both (a path, a stored value).
std::string Shown(const std::string& text) {
  return IsValidUtf8(text) ? text : adw::platform::Cp1251ToUtf8(text);
}

std::string Field(const std::string& cp1251) {
  std::string text = adw::platform::Cp1251ToUtf8(cp1251);
  // A tab or line break inside a value would shift the columns.
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

void Usage() {
  std::fputs("usage: adweld-board list [--today dd.MM.yyyy] DIR\n", stderr);
}

}  // namespace

int RunList(int argc, char** argv) {
  using namespace adw;
  std::string dir;
  bool haveDir = false;
  engine::Date today = engine::Today();
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--today") {
      const auto date = i + 1 < argc ? engine::ParseShortDate(argv[i + 1]) : std::nullopt;
      if (!date) {
        std::fputs("adweld-board list: --today needs a date such as 22.01.2000\n", stderr);
        Usage();
        return kExitUsage;
      }
      today = *date;
      ++i;
    } else if (!haveDir && !arg.empty() && arg.front() != '-') {
      dir = arg;
      haveDir = true;
    } else {
      Usage();
      return kExitUsage;
    }
  }
  if (!haveDir) {
    Usage();
    return kExitUsage;
  }
  if (!platform::DirectoryExists(dir)) {
    std::fprintf(stderr, "adweld-board list: %s: no such directory\n", dir.c_str());
    return kExitFailed;
  }

  const engine::BoardScan scan = engine::ScanBoards(dir, today);
  std::string out;
  out.reserve(scan.boards.size() * 64);
  for (const engine::BoardScanEntry& board : scan.boards) {
    out += Shown(board.fileName);
    out += '\t';
    out += Field(board.name);
    out += '\t';
    out += Field(board.lastSend.value_or(""));
    out += '\t';
    out += Field(board.period.value_or(""));
    out += '\t';
    out += board.due ? "yes" : "no";
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);

  for (const engine::BoardLoadFailure& failure : scan.failures) {
    std::fprintf(stderr, "%s: %s\n", Shown(failure.fileName).c_str(), Shown(failure.reason).c_str());
  }
  return scan.failures.empty() ? kExitOk : kExitFailed;
}
