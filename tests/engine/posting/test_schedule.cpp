#include <gtest/gtest.h>

#include "engine/posting/schedule.h"
#include "engine/posting/worker_pool.h"

namespace adw::engine {
namespace {

using Action = ScheduleDecision::Action;
using namespace std::chrono;

constexpr Date kToday{year(2024), month(5), day(20)};
constexpr Date kYesterday{year(2024), month(5), day(19)};
constexpr Date kTomorrow{year(2024), month(5), day(21)};

struct TickCase {
  const char* what;
  Date dateBox;
  const char* timeText;
  TimeOfDay now;
  Action expected;
};

class ScheduleTick : public testing::TestWithParam<TickCase> {};

TEST_P(ScheduleTick, DecidesAsTheTimerDoes) {
  const TickCase& c = GetParam();
  const ScheduleDecision decision = CheckScheduledStart(c.dateBox, c.timeText, LocalDateTime{kToday, c.now});
  EXPECT_EQ(decision.action, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScheduleTick,
    testing::Values(TickCase{"ten minutes ahead", kToday, "12:10:00", {12, 0, 0}, Action::Wait},
                    TickCase{"first tick at the set time", kToday, "12:10:00", {12, 10, 0}, Action::Start},
                    TickCase{"first tick after it", kToday, "12:10:00", {12, 10, 40}, Action::Start},
                    TickCase{"one second early", kToday, "12:10:00", {12, 9, 59}, Action::Wait},
                    TickCase{"time already passed today", kToday, " 9:05:00", {18, 0, 0}, Action::Start},
                    TickCase{
                        "yesterday's date never starts", kYesterday, "00:00:00", {23, 59, 59}, Action::Wait},
                    TickCase{"tomorrow's date waits", kTomorrow, "00:00:00", {23, 59, 59}, Action::Wait},
                    TickCase{"hour without leading zero", kToday, "9:00:00", {9, 0, 0}, Action::Start},
                    TickCase{"mask blanks as underscores", kToday, "_9:00:00", {9, 0, 0}, Action::Start},
                    TickCase{"empty box", kToday, "", {9, 0, 0}, Action::Error},
                    TickCase{"blank mask", kToday, "  :  :  ", {9, 0, 0}, Action::Error},
                    TickCase{"hour 24", kToday, "24:00:00", {9, 0, 0}, Action::Error},
                    TickCase{"minute 60", kToday, "12:60:00", {9, 0, 0}, Action::Error},
                    TickCase{"letters", kToday, "ab:cd:ef", {9, 0, 0}, Action::Error},
                    TickCase{"four parts", kToday, "1:2:3:4", {9, 0, 0}, Action::Error}));

TEST(ScheduleTickMessages, InvalidTimeGivesTheConversionMessageEveryTick) {
  for (int tick = 0; tick < 3; ++tick) {
    const ScheduleDecision decision =
        CheckScheduledStart(kToday, "  :  :  ", LocalDateTime{kToday, {9, tick, 0}});
    EXPECT_EQ(decision.action, Action::Error);
    EXPECT_EQ(decision.message, "'  :  :  ' is not a valid time");
  }
}

TEST(ScheduleTickMessages, DueStartDuringActiveRunIsPostponedWithTheHint) {
  const ScheduleDecision busy =
      CheckScheduledStart(kToday, "12:00:00", LocalDateTime{kToday, {12, 1, 0}}, true);
  EXPECT_EQ(busy.action, Action::Postpone);
  EXPECT_EQ(busy.message, RunActiveHint());
  // The next tick after the run ended starts it.
  EXPECT_EQ(CheckScheduledStart(kToday, "12:00:00", LocalDateTime{kToday, {12, 2, 0}}, false).action,
            Action::Start);
  // A run that is active before the time has come changes nothing.
  EXPECT_EQ(CheckScheduledStart(kToday, "12:00:00", LocalDateTime{kToday, {11, 0, 0}}, true).action,
            Action::Wait);
}

TEST(ScheduleTimeText, ReadsOptionalMinutesAndSeconds) {
  const auto full = ParseTimeText("23:59:58");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->hour, 23);
  EXPECT_EQ(full->minute, 59);
  EXPECT_EQ(full->second, 58);
  const auto short_ = ParseTimeText("7:30");
  ASSERT_TRUE(short_);
  EXPECT_EQ(short_->hour, 7);
  EXPECT_EQ(short_->minute, 30);
  EXPECT_EQ(short_->second, 0);
}

}  // namespace
}  // namespace adw::engine
