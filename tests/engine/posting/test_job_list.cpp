#include <gtest/gtest.h>

#include "engine/base/board_container.h"
#include "engine/posting/job_list.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using platform::W;

// A script directory with board files, base.dat and base.map, and the ad
// record set the window would hold.
class ScriptDir {
 public:
  ScriptDir() : m_ads(MakeAdsRecordSet()) {
    m_dir.Write("base.map", W("[Variab]\r\nitem1=Имя$NAME$\r\nitem2=Текст$TEXT$\r\nitem3=Компьютеры$comp\r\n"
                              "item4=Авто$auto\r\n[$comp]\r\nitem1=Ноутбуки\r\n"));
  }
  // plainUtf8: the board's INI text; stored packed, as board files are.
  void Board(std::string_view fileName, std::string_view plainUtf8) {
    std::string bytes = Tlzrw1::CompressBytes(W(plainUtf8));
    bytes.replace(0, 4, "ADWP");
    m_dir.Write(W(fileName), bytes);
  }
  void Store(std::string_view utf8) { m_dir.Write("base.dat", W(utf8)); }
  void Ad(std::string_view name, bool ticked, std::string_view catalog) {
    const std::size_t row = m_ads.Append();
    m_ads.SetValue(row, "NAME", W(name));
    m_ads.SetValue(row, "STAT", ticked ? "1" : "0");
    m_ads.SetValue(row, "CATALOG", W(catalog));
  }
  JobListBuild Build(const std::vector<BoardRow>& rows, IJobListProgress* progress = nullptr) const {
    return BuildJobList(m_dir.Path(), m_dir.File("base.map"), rows, m_ads, progress);
  }
  test::TempDir& Dir() { return m_dir; }

 private:
  test::TempDir m_dir;
  RecordSet m_ads;
};

BoardRow Row(std::string_view utf8Name, bool ticked = true) {
  return BoardRow{W(utf8Name), ticked, {}};
}

TEST(JobListBuild, WorkedExampleOneBoardOneAd) {
  ScriptDir script;
  script.Board(
      "Доска1.prj",
      "[Project]\r\nNAME=Доска1\r\nSUBMIT=S\r\nSUBBODY=name=$NAME&rubric=3&text=$TEXT\r\nREQUEST=R\r\n"
      "CODE=KOI8-R\r\n[MAP]\r\n15$rubric=Компьютеры$comp\r\n");
  script.Store(
      "[Продам ноутбук]\r\nИмя$NAME=Иван\r\nТекст$TEXT=Почти новый\r\ndefault=Ноутбуки$comp\r\n"
      "reppath=C:\\Отчеты\r\n");
  script.Ad("Продам ноутбук", true, "C:\\Отчеты");

  const JobListBuild build = script.Build({Row("Доска1")});
  ASSERT_EQ(build.jobs.Count(), 1u);
  EXPECT_EQ(build.jobs.JobURLs[0], "S");
  EXPECT_EQ(build.jobs.JobBodies[0],
            "name=\xE9\xD7\xC1\xCE&rubric=15&text=\xF0\xCF\xDE\xD4\xC9 \xCE\xCF\xD7\xD9\xCA");
  EXPECT_EQ(build.jobs.JobReferers[0], "R");
  EXPECT_EQ(build.jobs.JobLabels[0], W("Доска1\tC:\\Отчеты"));
  EXPECT_TRUE(build.skipped.empty());
  EXPECT_TRUE(build.adsWithoutGroup.empty());
}

TEST(JobListMatching, PrimaryAndFallbackTable) {
  struct Case {
    const char* line;
    const char* category;
    const char* group;
    bool matches;
  };
  const Case cases[] = {
      {"15$rubric=Ноутбуки$comp", "Ноутбуки$comp", "Компьютеры$comp", true},    // primary
      {"15$rubric=Компьютеры$comp", "Ноутбуки$comp", "Компьютеры$comp", true},  // fallback
      {"15$rubric=Компьютеры$comp", "$comp", "Компьютеры$comp", true},          // whole group: fallback
      {"15$rubric=Авто$auto", "Ноутбуки$comp", "Компьютеры$comp", false},
      {"Ноутбуки$comp=x", "Ноутбуки$comp", "", false},       // at the line's start
      {"15$rubric=Ноутбуки$comp", "", "", false},            // empty category
      {"15$rubric=Компьютеры$comp", "Нет$none", "", false},  // no group line
      {"a$b=xНоутбуки$comp", "Ноутбуки$comp", "", false},    // not right after "="
      {"a$b=x=Ноутбуки$comp", "Ноутбуки$comp", "", true},    // any "=" before it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapLineMatches(W(c.line), W(c.category), W(c.group)), c.matches)
        << c.line << " / " << c.category;
  }
}

TEST(JobListMatching, UrlFromTheMapLineWhenItHoldsHttp) {
  EXPECT_EQ(JobUrl(W("15$rubric=Компьютеры$comp"), "S"), "S");
  EXPECT_EQ(JobUrl(W("http://b.example/add=Компьютеры$comp"), "S"), "http://b.example/add");
  EXPECT_EQ(JobUrl(W("http://b.example/add$rubric=Компьютеры$comp"), "S"), "http://b.example/add$rubric");
  EXPECT_EQ(JobUrl(W("HTTP://b.example/add=Компьютеры$comp"), "S"), "S");  // case-sensitive
  EXPECT_EQ(JobUrl("", "S"), "S");
}

TEST(JobListBuild, GroupsByMapLineThenAdAndKeepsOtherCodePages) {
  ScriptDir script;
  // Both lines match ad A (fallback, then primary); only the first matches
  // B, filed under the whole group.
  script.Board("Доска.prj",
               "[Project]\r\nNAME=Доска\r\nSUBMIT=S\r\nSUBBODY=r=0&t=$TEXT\r\nREQUEST=R\r\nCODE=koi8-r\r\n"
               "[MAP]\r\n1$r=Компьютеры$comp\r\nhttp://u/$r=Ноутбуки$comp\r\n");
  // No MAP: every ticked ad once, in record order.
  script.Board("Plain.prj", "[Project]\r\nNAME=Plain\r\nSUBMIT=P\r\nSUBBODY=t=$TEXT\r\n");
  script.Board("Unticked.prj", "[Project]\r\nNAME=Unticked\r\nSUBMIT=U\r\n");
  script.Store(
      "[A]\r\nТекст$TEXT=Привет\r\ndefault=Ноутбуки$comp\r\n"
      "[B]\r\nТекст$TEXT=b\r\ndefault=$comp\r\n"
      "[C]\r\nТекст$TEXT=c\r\ndefault=Ноутбуки$comp\r\n"
      "[D]\r\nТекст$TEXT=d\r\ndefault=Авто$auto\r\n");
  script.Ad("A", true, "/ra");
  script.Ad("C", false, "/rc");  // not ticked
  script.Ad("B", true, "/rb");
  script.Ad("D", true, "/rd");

  struct Progress : IJobListProgress {
    int started = -1;
    std::vector<int> positions;
    int pumps = 0;
    void BuildStarted(int count) override { started = count; }
    bool ProcessMessages() override { return ++pumps > 0; }
    void BoardVisited(int position) override { positions.push_back(position); }
  } progress;
  const JobListBuild build = script.Build({Row("Доска"), Row("Unticked", false), Row("Plain")}, &progress);

  const std::vector<std::string> urls = {"S", "S", "http://u/$r", "P", "P", "P"};
  const std::vector<std::string> labels = {W("Доска\t/ra"), W("Доска\t/rb"), W("Доска\t/ra"),
                                           "Plain\t/ra",    "Plain\t/rb",    "Plain\t/rd"};
  EXPECT_EQ(build.jobs.JobURLs, urls);
  EXPECT_EQ(build.jobs.JobLabels, labels);
  // "koi8-r" is not "KOI8-R": the body stays in Windows-1251.
  EXPECT_EQ(build.jobs.JobBodies[0], W("r=1&t=Привет"));
  EXPECT_EQ(build.jobs.JobBodies[1], "r=1&t=b");
  EXPECT_EQ(build.jobs.JobBodies[2], W("r=http://u/&t=Привет"));
  EXPECT_EQ(build.jobs.JobBodies[3], W("t=Привет"));
  EXPECT_EQ(build.jobs.JobReferers[0], "R");
  EXPECT_EQ(build.jobs.JobReferers[3], "");
  // Every entry, ticked or not, advances the progress bar.
  EXPECT_EQ(progress.started, 3);
  EXPECT_EQ(progress.positions, (std::vector<int>{1, 2, 3}));
  // Before each board and each ad visited: 3 boards + 2 lines x 3 ads + 3 ads.
  EXPECT_EQ(progress.pumps, 3 + 6 + 3);
  EXPECT_TRUE(build.adsWithoutGroup.empty());
}

TEST(JobListBuild, EmptyWhenNothingMatchesOrNothingIsTicked) {
  ScriptDir script;
  script.Board("Доска.prj", "[Project]\r\nNAME=Доска\r\nSUBMIT=S\r\n[MAP]\r\n1$r=Авто$auto\r\n");
  script.Store("[A]\r\ndefault=Ноутбуки$comp\r\n[Z]\r\ndefault=Нет$none\r\n[Y]\r\nx=1\r\n");
  script.Ad("A", true, "/ra");
  script.Ad("Z", true, "/rz");
  script.Ad("Y", true, "/ry");
  const JobListBuild build = script.Build({Row("Доска")});
  EXPECT_EQ(build.jobs.Count(), 0u);
  // No group line for "$none", no category at all for Y: neither matches by
  // the fallback, and the build names them.
  EXPECT_EQ(build.adsWithoutGroup, (std::vector<std::string>{"Z", "Y"}));
  EXPECT_EQ(script.Build({Row("Доска", false)}).jobs.Count(), 0u);
  EXPECT_EQ(script.Build({}).jobs.Count(), 0u);
}

TEST(JobListBuild, SkipsMissingAndDamagedBoardsAndGoesOn) {
  ScriptDir script;
  script.Board("good.prj", "[Project]\r\nNAME=Good\r\nSUBMIT=S\r\n");  // found without regard to case
  script.Dir().Write("Broken.prj", "ADWPnot a container at all");
  script.Store("[A]\r\ndefault=Ноутбуки$comp\r\n");
  script.Ad("A", true, "/ra");

  const JobListBuild build = script.Build({Row("Missing"), Row("Broken"), Row("GOOD")});
  ASSERT_EQ(build.jobs.Count(), 1u);
  EXPECT_EQ(build.jobs.JobLabels[0], "Good\t/ra");
  ASSERT_EQ(build.skipped.size(), 2u);
  EXPECT_EQ(build.skipped[0].name, "Missing");
  EXPECT_EQ(build.skipped[0].reason, "Cannot find board file Missing.prj");
  EXPECT_EQ(build.skipped[1].name, "Broken");
  EXPECT_FALSE(build.skipped[1].reason.empty());
  EXPECT_EQ(build.SkipHint(), W("Пропущено досок: 2, первая: Missing"));

  // A board name holding a path finds no file outside the script directory.
  script.Board("sub/Good.prj", "[Project]\r\nNAME=Good\r\nSUBMIT=S\r\n");
  EXPECT_EQ(script.Build({Row("sub/Good")}).skipped.size(), 1u);
}

TEST(JobListBuild, CarriesEachBoardsDelayAndSkipsAnUnreadableOne) {
  ScriptDir script;
  script.Board("Slow.prj", "[Project]\r\nNAME=Slow\r\nSUBMIT=S\r\nDELAY=2.5\r\n");
  script.Board("Plain.prj", "[Project]\r\nNAME=Plain\r\nSUBMIT=P\r\n");
  script.Board("Typo.prj", "[Project]\r\nNAME=Typo\r\nSUBMIT=T\r\nDELAY=5 sec\r\n");
  script.Store("[A]\r\ndefault=Ноутбуки$comp\r\n[B]\r\ndefault=Ноутбуки$comp\r\n");
  script.Ad("A", true, "/ra");
  script.Ad("B", true, "/rb");

  const JobListBuild build = script.Build({Row("Slow"), Row("Typo"), Row("Plain")});
  EXPECT_EQ(build.jobs.JobURLs, (std::vector<std::string>{"S", "S", "P", "P"}));
  EXPECT_EQ(build.jobs.JobDelays, (std::vector<int>{2500, 2500, 0, 0}));
  ASSERT_EQ(build.skipped.size(), 1u);
  EXPECT_EQ(build.skipped[0].name, "Typo");
  EXPECT_EQ(build.skipped[0].reason, "DELAY is not a number of seconds: 5 sec");
}

TEST(JobListBuild, ClosingWindowAbandonsTheBuild) {
  ScriptDir script;
  script.Board("A.prj", "[Project]\r\nNAME=A\r\nSUBMIT=S\r\n");
  script.Store("[A]\r\ndefault=x\r\n");
  script.Ad("A", true, "/ra");
  struct Closing : IJobListProgress {
    int left = 2;
    bool ProcessMessages() override { return left-- > 0; }
  } closing;
  const JobListBuild build = script.Build({Row("A"), Row("A"), Row("A")}, &closing);
  EXPECT_TRUE(build.abandoned);
  EXPECT_EQ(build.jobs.Count(), 0u);
}

}  // namespace
}  // namespace adw::engine
