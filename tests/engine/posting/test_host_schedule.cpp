#include <gtest/gtest.h>

#include "engine/posting/host_schedule.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using namespace std::chrono_literals;
using Clock = HostSchedule::Clock;

TEST(HostKey, HostAndPortOfAUrl) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"http://Board.Example/add.cgi", "board.example:80"},
      {"https://board.example/add", "board.example:443"},
      {"http://127.0.0.1:8080/a?b=c", "127.0.0.1:8080"},
      {"http://user:pw@host:81", "host:81"},
      {"http://[::1]:8443/x", "[::1]:8443"},
      {"board.example/add", "board.example:80"},
      {"", "?"},
      {"http:///nohost", "?http:///nohost"},
  };
  for (const auto& [url, key] : cases) EXPECT_EQ(HostKey(url), key) << url;
}

TEST(BoardDelay, SecondsWholeOrDecimalAndRefusesTheRest) {
  const std::vector<std::pair<std::string, std::optional<int>>> cases = {
      {"", 0},
      {"  ", 0},
      {"5", 5000},
      {" 0.5 ", 500},
      {"1,25", 1250},
      {"86400", 86400000},
      {"86401", std::nullopt},
      {"-1", std::nullopt},
      {"5s", std::nullopt},
      {".", std::nullopt},
      {"1.2.3", std::nullopt},
  };
  for (const auto& [text, ms] : cases) EXPECT_EQ(ParseBoardDelay(text), ms) << text;
}

TEST(HostLimitSetting, StoredValueOrTheDefault) {
  test::TempDir dir;
  const std::vector<std::pair<std::string, int>> cases = {
      {"", 2},
      {"HostLimit_Value=5\r\n", 5},
      {"hostlimit_value= 30 \r\n", 30},
      {"HostLimit_Value=0\r\n", 2},
      {"HostLimit_Value=31\r\n", 2},
      {"HostLimit_Value=x\r\n", 2},
  };
  for (const auto& [line, limit] : cases) {
    const std::string path = dir.Write("adwelder.ini", "[Save]\r\n" + line);
    EXPECT_EQ(ReadHostLimit(path), limit) << line;
  }
  EXPECT_EQ(ReadHostLimit(dir.File("absent.ini")), 2);
}

// Jobs of a list grouped by board, as the job list builds them.
struct Jobs {
  std::vector<std::string> urls;
  std::vector<std::string> labels;
  std::vector<int> delays;
  void Add(const std::string& host, const std::string& board, int count, int delayMs = 0) {
    for (int k = 0; k < count; ++k) {
      urls.push_back("http://" + host + "/add");
      labels.push_back(board + "\t/reports");
      delays.push_back(delayMs);
    }
  }
  HostSchedule Schedule() const { return HostSchedule(urls, labels, delays); }
};

std::vector<int> Drain(HostSchedule& schedule, Clock::time_point now, int limit) {
  std::vector<int> order;
  while (const auto job = schedule.Next(now, limit)) {
    order.push_back(*job);
    schedule.Finished(*job, now);
  }
  return order;
}

TEST(HostScheduleOrder, InterleavesHostsThenBoardsWithinAHost) {
  Jobs jobs;
  jobs.Add("a.example", "A", 3);  // jobs 0..2
  jobs.Add("b.example", "B", 3);  // jobs 3..5
  jobs.Add("a.example", "C", 1);  // job 6, the second board of host a
  HostSchedule schedule = jobs.Schedule();
  EXPECT_EQ(Drain(schedule, Clock::now(), 0), (std::vector<int>{0, 3, 6, 4, 1, 5, 2}));
  EXPECT_EQ(schedule.Waiting(), 0u);
}

TEST(HostScheduleLimit, AtMostKAtOnceToOneHostWhileOtherHostsGoOn) {
  Jobs jobs;
  jobs.Add("a.example:80", "A", 4);
  jobs.Add("A.EXAMPLE", "A2", 1);  // the same host:port spelt otherwise
  jobs.Add("a.example:8080", "B", 1);
  HostSchedule schedule = jobs.Schedule();
  const auto now = Clock::now();
  EXPECT_EQ(schedule.Next(now, 2), 0);
  EXPECT_EQ(schedule.Next(now, 2), 5);  // another port is another host
  EXPECT_EQ(schedule.Next(now, 2), 4);
  EXPECT_EQ(schedule.Next(now, 2), std::nullopt);  // a.example:80 has two running
  EXPECT_EQ(schedule.NextDelayEnd(now, 2), std::nullopt);
  schedule.Finished(4, now);
  EXPECT_EQ(schedule.Next(now, 2), 1);
  EXPECT_EQ(schedule.Next(now, 2), std::nullopt);
  EXPECT_EQ(schedule.Next(now, 0), 2);  // no limit
  EXPECT_EQ(schedule.Waiting(), 1u);
}

TEST(HostScheduleDelay, OnePostingAtATimeSpacedFromTheEndOfTheLast) {
  Jobs jobs;
  jobs.Add("slow.example", "Slow", 2, 1500);
  jobs.Add("fast.example", "Fast", 2);
  HostSchedule schedule = jobs.Schedule();
  const auto t0 = Clock::now();
  EXPECT_EQ(schedule.Next(t0, 5), 0);
  EXPECT_EQ(schedule.Next(t0, 5), 2);
  EXPECT_EQ(schedule.Next(t0, 5), 3);                     // the delayed board waits; others go on
  EXPECT_EQ(schedule.Next(t0 + 10s, 5), std::nullopt);    // still posting
  EXPECT_EQ(schedule.NextDelayEnd(t0, 5), std::nullopt);  // an end, not a timer, frees it
  schedule.Finished(0, t0 + 1s);
  EXPECT_EQ(schedule.NextDelayEnd(t0 + 1s, 5), t0 + 2500ms);
  EXPECT_EQ(schedule.Next(t0 + 2499ms, 5), std::nullopt);
  EXPECT_EQ(schedule.Next(t0 + 2500ms, 5), 1);
  EXPECT_EQ(schedule.Waiting(), 0u);
  EXPECT_EQ(schedule.NextDelayEnd(t0 + 2500ms, 5), std::nullopt);
}

// A delayed board whose host is at its limit is freed by the end of a job
// to that host, not by a timer: a timer due at once would fire again and
// again while the host stays busy.
TEST(HostScheduleDelay, NoTimerForABoardItsHostHoldsBack) {
  Jobs jobs;
  jobs.Add("one.example", "Busy", 1);
  jobs.Add("one.example", "Slow", 2, 100);
  HostSchedule schedule = jobs.Schedule();
  const auto t0 = Clock::now();
  EXPECT_EQ(schedule.Next(t0, 1), 0);
  schedule.Finished(0, t0);
  EXPECT_EQ(schedule.Next(t0, 1), 1);
  schedule.Finished(1, t0);
  EXPECT_EQ(schedule.NextDelayEnd(t0, 1), t0 + 100ms);
  EXPECT_EQ(schedule.Next(t0 + 100ms, 1), 2);
  EXPECT_EQ(schedule.Waiting(), 0u);

  Jobs busy;
  busy.Add("one.example", "Busy", 2);
  busy.Add("one.example", "Slow", 2, 100);
  HostSchedule held = busy.Schedule();
  EXPECT_EQ(held.Next(t0, 1), 0);
  held.Finished(0, t0);
  EXPECT_EQ(held.Next(t0, 1), 2);  // the host's boards in turn
  held.Finished(2, t0);
  EXPECT_EQ(held.Next(t0, 1), 1);                          // Slow waits for its delay, Busy goes
  EXPECT_EQ(held.NextDelayEnd(t0 + 1s, 1), std::nullopt);  // delay over, host at its limit
  held.Finished(1, t0 + 2s);
  EXPECT_EQ(held.Next(t0 + 2s, 1), 3);
}

}  // namespace
}  // namespace adw::engine
