#pragma once
// The command line of adweld-run:
//   adweld-run --script DIR [--settings FILE] [--boards due|all|NAME,...]
//              [--ads all|changed|NAME,...] [--threads N] [--force]
//   adweld-run [--settings FILE] [--script DIR] --resume [--force]
//   adweld-run [--settings FILE] [--script DIR] --retry failed|unconfirmed|failed,unconfirmed [--force]
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace adw::cli {

inline constexpr int kExitAllPosted = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitBadInput = 2;
// No job failed, but some boards' replies did not confirm the posting.
inline constexpr int kExitSomeUnconfirmed = 3;

struct RunArguments {
  // With --resume and --retry: where the board files are (their rules);
  // empty: the script directory stored in the settings.
  std::string scriptDir;
  std::string settingsFile;  // empty: adwelder.ini where the program keeps it
  // Board selection: "due" (the board list's own ticks), "all", or names.
  enum class Boards { Due, All, Named } boards = Boards::Due;
  std::vector<std::string> boardNames;  // cp1251
  bool allAds = true;
  std::vector<std::string> adNames;  // cp1251
  std::optional<int> threads;        // 3..30; absent: the stored thread count
  // The run journal's ways: post only ads whose body changed since their
  // last success; finish the interrupted run; post the last run's jobs in
  // these states again ("failed", "unconfirmed"); post past the duplicate
  // guard (and, with --resume, resend jobs that may have reached the board).
  bool changedAds = false;
  bool resume = false;
  std::vector<std::string> retryStates;
  bool force = false;
  bool FromJournal() const { return resume || !retryStates.empty(); }
};

// Parses argv (without the program name); on failure returns nullopt and
// sets error to a one-line reason.
std::optional<RunArguments> ParseRunArguments(const std::vector<std::string>& args, std::string& error);

void PrintRunUsage(std::FILE* to);

}  // namespace adw::cli
