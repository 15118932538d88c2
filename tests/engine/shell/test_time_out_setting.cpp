#include <gtest/gtest.h>

#include "engine/shell/settings_file.h"
#include "engine/shell/time_out_setting.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

struct TimeOutCase {
  const char* text;
  std::optional<int> seconds;  // nullopt: refused
};

class TimeOutText : public ::testing::TestWithParam<TimeOutCase> {};

TEST_P(TimeOutText, OnlyWholeSecondsUpTo999AreTaken) {
  EXPECT_EQ(ParseTimeOutSeconds(GetParam().text), GetParam().seconds) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Values, TimeOutText,
                         ::testing::Values(TimeOutCase{"20", 20}, TimeOutCase{"0", 0},
                                           TimeOutCase{"999", 999}, TimeOutCase{"020", 20},
                                           TimeOutCase{" 45 ", 45}, TimeOutCase{"", 0}, TimeOutCase{"   ", 0},
                                           TimeOutCase{"1000", std::nullopt}, TimeOutCase{"2O", std::nullopt},
                                           TimeOutCase{"1e3", std::nullopt}, TimeOutCase{"abc", std::nullopt},
                                           TimeOutCase{"-5", std::nullopt}, TimeOutCase{"+5", std::nullopt},
                                           TimeOutCase{"1 2", std::nullopt}, TimeOutCase{"2.5", std::nullopt},
                                           TimeOutCase{"12345678901234567890", std::nullopt},
                                           TimeOutCase{"00000000000000000000020", 20}));

TEST(StoredTimeOut, RefusedValuesAreNamedAndTheWorkersWaitTheDefault) {
  adw::test::TempDir dir;
  const std::string ini = dir.File("adwelder.ini");
  EXPECT_FALSE(CheckStoredTimeOut(ini));  // no file: nothing to refuse

  for (const char* value : {"2O", "-5", "12345678901234567890"}) {
    dir.Write("adwelder.ini", std::string("[Save]\r\nEdTimeOut_Text=") + value + "\r\n");
    const auto problem = CheckStoredTimeOut(ini);
    ASSERT_TRUE(problem) << value;
    EXPECT_EQ(problem->key, "edTimeOut_Text");
    EXPECT_EQ(problem->value, value);
    EXPECT_NE(TimeOutProblemHint(*problem).find(std::string("edTimeOut_Text=\"") + value + "\""),
              std::string::npos);
    EXPECT_EQ(ReadPostingSettings(ini).timeOutMs, kDefaultTimeOutSeconds * 1000) << value;
  }

  for (const char* value : {"7", "", "0"}) {
    dir.Write("adwelder.ini", std::string("[Save]\r\nedTimeOut_Text=") + value + "\r\n");
    EXPECT_FALSE(CheckStoredTimeOut(ini)) << value;
  }
  EXPECT_EQ(ReadPostingSettings(ini).timeOutMs, 0);  // "0": none
}

}  // namespace
}  // namespace adw::engine
