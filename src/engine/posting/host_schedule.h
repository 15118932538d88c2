#pragma once
// Which job of a run starts next, so that no board is hammered: jobs are
// taken host by host in turn (and board by board within a host), at most a
// set number of requests run at once to one host:port, and a board with a
// DELAY gets one posting at a time, each starting no sooner than DELAY
// after the one before it ended. Jobs held back leave their place to jobs
// of other hosts, so the pool's threads stay busy meanwhile.
//
// Main thread only, like the rest of the run state.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

// The settings key of the limit per host and its default.
inline constexpr std::string_view kKeyHostLimit = "HostLimit_Value";
inline constexpr int kDefaultHostLimit = 2;
// The stored limit per host: a whole number from 1 to 30; anything else
// (absent, blank, not a number, out of range) gives the default.
int ReadHostLimit(const std::string& settingsPath);
// Stores the limit with the configuration. A settings file that never had
// the key keeps its old form while the limit stays at the default.
// Throws platform::ProfileWriteError when the file cannot be written.
void SaveHostLimit(const std::string& settingsPath, int limit);

// The board key naming the spacing of its postings, in seconds.
inline constexpr std::string_view kKeyDelay = "DELAY";
// A DELAY value in milliseconds: seconds as a whole or decimal number
// ("5", "0.5"), blanks around it allowed, at most a day; an empty value is
// 0. nullopt for anything else, so a misspelt value is reported rather
// than taken as no delay.
std::optional<int> ParseBoardDelay(std::string_view text);

// "host:port" of a URL, the host in lower case and the port spelled out
// (80 for http, 443 for https when none is given). A URL without a
// recognisable host is its own key, so such jobs are kept apart and fail
// in the client as before.
std::string HostKey(std::string_view url);

class HostSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  HostSchedule() = default;
  // Job k posts to urls[k] for the board named by labels[k] before its TAB;
  // delaysMs[k] is that board's DELAY (missing entries: none).
  HostSchedule(const std::vector<std::string>& urls, const std::vector<std::string>& labels,
               const std::vector<int>& delaysMs);

  // The job to start now, or nullopt when every waiting job is held back
  // (or none is left). hostLimit <= 0 puts no limit on a host.
  std::optional<int> Next(Clock::time_point now, int hostLimit);
  // A started job has ended (or could not be started).
  void Finished(int job, Clock::time_point now);

  // Jobs not yet handed out.
  std::size_t Waiting() const { return m_waiting; }
  // The earliest moment after now at which a waiting job that only its
  // board's DELAY holds back may start; nullopt when no job waits for a
  // delay alone (a job held back by its host's limit waits for the end of
  // a running job to that host instead).
  std::optional<Clock::time_point> NextDelayEnd(Clock::time_point now, int hostLimit) const;

 private:
  struct Board {
    int delayMs = 0;
    int inFlight = 0;
    Clock::time_point readyAt{};
  };
  // The jobs of one board to one host, in list order.
  struct Lane {
    int board = 0;
    std::vector<int> jobs;
    std::size_t next = 0;
    bool Empty() const { return next >= jobs.size(); }
  };
  struct Host {
    std::vector<int> lanes;
    std::size_t turn = 0;  // the lane whose turn it is
    int inFlight = 0;
  };
  bool BoardReady(const Board& board, Clock::time_point now) const;

  std::vector<Board> m_boards;
  std::vector<Lane> m_lanes;
  std::vector<Host> m_hosts;
  std::vector<int> m_jobHost;
  std::vector<int> m_jobBoard;
  std::vector<int> m_activeHosts;  // hosts with waiting jobs, in turn order
  std::size_t m_turn = 0;          // index into m_activeHosts
  std::size_t m_waiting = 0;
};

}  // namespace adw::engine
