#include "cli/run/run_arguments.h"

#include <cstdio>

#include "platform/text1251.h"

namespace adw::cli {

namespace {

// "a,b,c" (already Windows-1251 text, as main converts the command line)
// as names; empty parts dropped.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = list.find(',', start);
    const std::string part =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::string name = platform::Trim(part);
    if (!name.empty()) names.push_back(name);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}

std::optional<int> ParseThreads(const std::string& text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 3 || value > 30) return std::nullopt;
  return value;
}

}  // namespace

std::optional<RunArguments> ParseRunArguments(const std::vector<std::string>& args, std::string& error) {
  RunArguments parsed;
  bool haveScript = false;
  bool chose = false;  // --boards or --ads given
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--resume" || option == "--force") {
      (option == "--resume" ? parsed.resume : parsed.force) = true;
      continue;
    }
    if (option == "--retry") {
      if (i + 1 >= args.size()) {
        error = "--retry needs a value";
        return std::nullopt;
      }
      parsed.retryStates = SplitNames(args[++i]);
      for (const std::string& state : parsed.retryStates) {
        if (state != "failed" && state != "unconfirmed") {
          error = "--retry takes failed, unconfirmed or failed,unconfirmed: " + args[i];
          return std::nullopt;
        }
      }
      if (parsed.retryStates.empty()) {
        error = "--retry names no state";
        return std::nullopt;
      }
      continue;
    }
    if (option == "--boards" || option == "--ads") chose = true;
    if (option != "--script" && option != "--settings" && option != "--boards" && option != "--ads" &&
        option != "--threads") {
      error = "unknown argument: " + option;
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = option + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (option == "--script") {
      parsed.scriptDir = value;
      haveScript = !value.empty();
    } else if (option == "--settings") {
      parsed.settingsFile = value;
    } else if (option == "--boards") {
      parsed.boardNames.clear();
      if (value == "due") {
        parsed.boards = RunArguments::Boards::Due;
      } else if (value == "all") {
        parsed.boards = RunArguments::Boards::All;
      } else {
        parsed.boards = RunArguments::Boards::Named;
        parsed.boardNames = SplitNames(value);
        if (parsed.boardNames.empty()) {
          error = "--boards names no board";
          return std::nullopt;
        }
      }
    } else if (option == "--ads") {
      parsed.adNames.clear();
      parsed.changedAds = value == "changed";
      parsed.allAds = value == "all" || parsed.changedAds;
      if (!parsed.allAds) {
        parsed.adNames = SplitNames(value);
        if (parsed.adNames.empty()) {
          error = "--ads names no ad";
          return std::nullopt;
        }
      }
    } else {
      parsed.threads = ParseThreads(value);
      if (!parsed.threads) {
        error = "--threads must be a whole number from 3 to 30: " + value;
        return std::nullopt;
      }
    }
  }
  if (parsed.resume && !parsed.retryStates.empty()) {
    error = "--resume and --retry cannot be combined";
    return std::nullopt;
  }
  if (parsed.FromJournal()) {
    if (chose) {
      error = std::string(parsed.resume ? "--resume" : "--retry") +
              " takes its boards and ads from the run journal; leave out --boards and --ads";
      return std::nullopt;
    }
    return parsed;
  }
  if (!haveScript) {
    error = "--script DIR is required";
    return std::nullopt;
  }
  return parsed;
}

void PrintRunUsage(std::FILE* to) {
  std::fputs(
      "usage: adweld-run --script DIR [--settings FILE] [--boards due|all|NAME,...]\n"
      "                  [--ads all|changed|NAME,...] [--threads N] [--force]\n"
      "       adweld-run [--settings FILE] [--script DIR] --resume [--force]\n"
      "       adweld-run [--settings FILE] [--script DIR] --retry failed|unconfirmed|failed,unconfirmed\n"
      "Posts the chosen ads to the chosen boards of a script directory, as the\n"
      "program's Start button does. One line per finished job (ok, failed,\n"
      "unconfirmed or skipped, board, URL and the reason when there is one), then\n"
      "the counts.\n"
      "Every run is kept in the run journal beside the settings file (.db for\n"
      ".ini). An ad posted to a board within the stored number of days\n"
      "(RxSEdRepeatDays_Value, default 7, 0 off) is skipped unless --force;\n"
      "--ads changed posts only ads whose text for a board changed since their\n"
      "last success. --resume finishes an interrupted run; a job that may have\n"
      "reached its board before the interruption is sent again only with\n"
      "--force. --retry posts the last run's jobs in those states again. Both\n"
      "judge replies and space postings by the board files as they are now, in\n"
      "--script DIR or else the stored script directory (deScript_Text); a job\n"
      "whose board file is gone is skipped. A run still going on in another\n"
      "process is neither resumed nor retried.\n"
      "Exit status: 0 every job succeeded, 1 some job failed or a result page or log\n"
      "entry could not be written, 2 bad arguments or unreadable files or settings,\n"
      "3 none failed but some were not confirmed by the board.\n",
      to);
}

}  // namespace adw::cli
