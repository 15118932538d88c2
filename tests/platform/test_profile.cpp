#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text1251.h"
#include "support/file_size_cap.h"
#include "support/temp_dir.h"

namespace adw::platform {
namespace {

struct ReadCase {
  const char* name;
  std::string text;
  std::string section;
  std::string key;
  std::string expected;  // "<default>" when the default must come back
};

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, ReadsValueByTheRules) {
  const ReadCase& c = GetParam();
  IniDocument doc = IniDocument::Parse(c.text);
  EXPECT_EQ(doc.ReadString(c.section, c.key, "<default>"), c.expected);
  // Whatever the input, the document gives back exactly the text it read.
  EXPECT_EQ(doc.Serialize(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileRead,
    ::testing::Values(
        ReadCase{"SectionAndKeyIgnoreCase", "[SaVe]\r\nCbUseProxy_Checked=True\r\n", "save",
                 "cbuseproxy_checked", "True"},
        ReadCase{"BlanksAroundKeyAndValue", "[s]\r\n  key \t=   some value  \r\n", "s", "key", "some value"},
        ReadCase{"BlanksAroundSectionName", "  [ Save ]  \r\nk=v\r\n", "Save", "k", "v"},
        ReadCase{"DoubleQuotesStripped", "[s]\r\nk=\"  quoted \"\r\n", "s", "k", "  quoted "},
        ReadCase{"SingleQuotesStripped", "[s]\r\nk='x'\r\n", "s", "k", "x"},
        ReadCase{"MismatchedQuotesKept", "[s]\r\nk=\"x'\r\n", "s", "k", "\"x'"},
        ReadCase{"LoneQuoteKept", "[s]\r\nk=\"\r\n", "s", "k", "\""},
        ReadCase{"FirstLineWins", "[s]\r\nk=first\r\nK=second\r\n", "s", "k", "first"},
        ReadCase{"FirstSectionWins", "[s]\r\nk=1\r\n[S]\r\nk=2\r\nj=3\r\n", "s", "j", "<default>"},
        ReadCase{"ValueCutAt2047", "[s]\r\nk=" + std::string(3000, 'x') + "\r\n", "s", "k",
                 std::string(2047, 'x')},
        ReadCase{"ValueOf2047Whole", "[s]\r\nk=" + std::string(2047, 'y'), "s", "k", std::string(2047, 'y')},
        ReadCase{"ValueHoldsEquals", "[s]\r\nurl=http://a/?b=c&d=e\r\n", "s", "url", "http://a/?b=c&d=e"},
        ReadCase{"KeyBeforeAnySectionIgnored", "k=v\r\n[s]\r\n", "s", "k", "<default>"},
        ReadCase{"KeyOfOtherSection", "[a]\r\nk=1\r\n[b]\r\n", "b", "k", "<default>"},
        ReadCase{"AbsentSection", "[a]\r\nk=1\r\n", "zz", "k", "<default>"},
        ReadCase{"EmptyText", "", "s", "k", "<default>"},
        ReadCase{"LineWithoutEqualsIsEmptyKey", "[s]\r\nbare\r\n", "s", "bare", ""},
        ReadCase{"EmptyValueIsNotDefault", "[s]\r\nk=\r\n", "s", "k", ""},
        ReadCase{"BareLfLines", "[s]\nk=lf\n", "s", "k", "lf"},
        ReadCase{"BareCrLines", "[s]\rk=cr\r", "s", "k", "cr"},
        ReadCase{"MixedLineEnds", "[a]\r\nx=1\n[s]\rk=mixed\r\n", "s", "k", "mixed"},
        ReadCase{"NoFinalLineBreak", "[s]\r\nk=last", "s", "k", "last"},
        ReadCase{"BlankLinesIgnored", "\r\n   \r\n[s]\r\n\r\n \t \r\nk=v\r\n\r\n", "s", "k", "v"},
        ReadCase{"SectionNameHoldingBracket", "[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
        ReadCase{"UnclosedSectionHeader", "[open\r\nk=v\r\n", "open", "k", "v"},
        ReadCase{"Cp1251Bytes", "[\xD1\xEE\xF5\xF0]\r\n\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n",
                 "\xD1\xEE\xF5\xF0", "\xCA\xEB\xFE\xF7", "\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5"},
        ReadCase{"RussianLettersAreNotFolded", "[s]\r\n\xC0=upper\r\n", "s", "\xE0", "<default>"}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(ProfileSection, KeysAndValuesFollowTheListingRules) {
  IniDocument doc = IniDocument::Parse(
      "[MAP]\r\n"
      "1$cat=A$comp\r\n"
      "bare line\r\n"
      "2$cat=\r\n"
      "1$CAT=repeated$comp\r\n"
      "\r\n"
      "http://x/?a=1=B$comp\r\n"
      "[other]\r\nz=1\r\n");
  EXPECT_EQ(doc.ReadSectionKeys("map"),
            (std::vector<std::string>{"1$cat", "bare line", "2$cat", "http://x/?a"}));
  EXPECT_EQ(doc.ReadSectionValues("Map"), (std::vector<std::pair<std::string, std::string>>{
                                              {"1$cat", "A$comp"}, {"http://x/?a", "1=B$comp"}}));
  EXPECT_TRUE(doc.ReadSectionKeys("absent").empty());
  EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"MAP", "other"}));
}

TEST(ProfileSection, KeyListingStopsAt16384Bytes) {
  // Keys of 15 bytes plus a terminator each: 1,024 of them fill the 16,384
  // bytes exactly; the rest are not seen.
  std::string text = "[s]\r\n";
  for (int i = 0; i < 1100; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "key%012d", i);
    text += std::string(key) + "=v\r\n";
  }
  IniDocument doc = IniDocument::Parse(text);
  auto keys = doc.ReadSectionKeys("s");
  ASSERT_EQ(keys.size(), 1024u);
  EXPECT_EQ(keys.back(), "key000000001023");
  // Reading a key by name is not bound by the listing.
  EXPECT_EQ(doc.ReadString("s", "key000000001099", ""), "v");
}

struct WriteCase {
  const char* name;
  std::string before;
  std::string section, key, value;
  std::string after;
};

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, PlacesTheLine) {
  const WriteCase& c = GetParam();
  IniDocument doc = IniDocument::Parse(c.before);
  doc.WriteString(c.section, c.key, c.value);
  EXPECT_EQ(doc.Serialize(), c.after);
  EXPECT_EQ(IniDocument::Parse(doc.Serialize()).ReadString(c.section, c.key, "<none>"), Trim(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileWrite,
    ::testing::Values(
        WriteCase{"IntoEmptyFile", "", "Save", "k", "v", "[Save]\r\nk=v\r\n"},
        WriteCase{"ReplacedInPlace", "[s]\r\na=1\r\nK=old\r\nb=2\r\n", "S", "k", "new",
                  "[s]\r\na=1\r\nk=new\r\nb=2\r\n"},
        WriteCase{"OnlyFirstLineReplaced", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3", "[s]\r\nk=3\r\nk=2\r\n"},
        WriteCase{"NewKeyAtEndOfSection", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3",
                  "[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n"},
        WriteCase{"NewKeyInHeaderOnlySection", "[a]\r\n[b]\r\n", "a", "z", "3", "[a]\r\nz=3\r\n[b]\r\n"},
        WriteCase{"NewSectionAtEndOfFile", "[a]\r\nx=1\r\n", "b", "y", "2", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
        WriteCase{"LastLineWithoutBreak", "[a]\r\nx=1", "a", "y", "2", "[a]\r\nx=1\r\ny=2\r\n"},
        WriteCase{"LfFileKeepsItsLines", "[a]\nx=1\n[b]\nq=0\n", "a", "x", "9", "[a]\nx=9\n[b]\nq=0\n"},
        WriteCase{"ValueKeptAsGiven", "[a]\r\n", "a", "k", "  padded ", "[a]\r\nk=  padded \r\n"},
        WriteCase{"EmptyValue", "[a]\r\nk=1\r\n", "a", "k", "", "[a]\r\nk=\r\n"}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(ProfileEdit, RefusesNamesAndValuesThatWouldBreakLines) {
  IniDocument doc = IniDocument::Parse("[s]\r\nk=v\r\n");
  const std::string before = doc.Serialize();
  EXPECT_THROW(doc.WriteString("s", "k", "two\r\nlines"), ProfileValueError);
  EXPECT_THROW(doc.WriteString("s", "k", "x\n[evil]"), ProfileValueError);
  EXPECT_THROW(doc.WriteString("s", "a=b", "v"), ProfileValueError);
  EXPECT_THROW(doc.WriteString("s", "  ", "v"), ProfileValueError);
  EXPECT_THROW(doc.WriteString("s", "[x", "v"), ProfileValueError);
  EXPECT_THROW(doc.WriteString("s\n", "k", "v"), ProfileValueError);
  EXPECT_EQ(doc.Serialize(), before);
}

TEST(ProfileEdit, EraseTakesFirstSectionOrKeyOnly) {
  IniDocument doc = IniDocument::Parse("[a]\r\nk=1\r\nj=2\r\n[b]\r\nx=1\r\n[A]\r\nk=9\r\n");
  doc.EraseKey("A", "K");
  EXPECT_EQ(doc.Serialize(), "[a]\r\nj=2\r\n[b]\r\nx=1\r\n[A]\r\nk=9\r\n");
  doc.EraseSection("a");
  EXPECT_EQ(doc.Serialize(), "[b]\r\nx=1\r\n[A]\r\nk=9\r\n");
  // The second section of that name is now the one read.
  EXPECT_EQ(doc.ReadString("a", "k", ""), "9");
}

TEST(ProfileRobustness, GarbageAndHugeInputParseWithoutCrash) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    std::string text(rng() % 4000, '\0');
    for (char& c : text) {
      const char pool[] =
          "[]=\"' \r\n\t\x01\xff\xe0"
          "abcK";
      c = rng() % 3 == 0 ? static_cast<char>(rng()) : pool[rng() % (sizeof pool - 1)];
    }
    IniDocument doc = IniDocument::Parse(text);
    ASSERT_EQ(doc.Serialize(), text);
    for (const auto& s : doc.SectionNames()) {
      for (const auto& [k, v] : doc.ReadSectionValues(s)) EXPECT_LE(v.size(), kProfileValueMax);
    }
  }
  // One 8 MB line with no break and a file of 200,000 short lines.
  std::string oneLine = "[s]\r\nk=" + std::string(8 << 20, 'z');
  EXPECT_EQ(IniDocument::Parse(oneLine).ReadString("s", "k", "").size(), kProfileValueMax);
  std::string many;
  for (int i = 0; i < 200000; ++i)
    many += (i % 50 == 0 ? "[sec" : "key") + std::to_string(i) + (i % 50 == 0 ? "]\r\n" : "=v\r\n");
  EXPECT_EQ(IniDocument::Parse(many).ReadString("sec199950", "key199999", ""), "v");
}

// ---------------------------------------------------------------------------
// Files on disk

TEST(ProfileFile, AbsentFileReadsDefaultsAndIsCreatedByFirstWrite) {
  adw::test::TempDir dir;
  IniFile ini(dir.File("adwelder.ini"));
  EXPECT_EQ(ini.ReadString("Save", "deScript_Text", "def"), "def");
  EXPECT_TRUE(ini.SectionNames().empty());
  ini.WriteString("Save", "deScript_Text", "/data/scripts");
  EXPECT_EQ(dir.Read("adwelder.ini"), "[Save]\r\ndeScript_Text=/data/scripts\r\n");
}

TEST(ProfileFile, SeesChangesMadeBehindItsBack) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("a.ini", "[s]\r\nk=one\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "k"), "one");
  // Same size, so only the file's identity or time tells the change.
  ASSERT_TRUE(WriteFileAtomic(path, "[s]\r\nk=two\r\n"));
  EXPECT_EQ(ini.ReadString("s", "k"), "two");
  IniFile other(path);
  other.WriteString("s", "k", "three");
  EXPECT_EQ(ini.ReadString("s", "k"), "three");
}

TEST(ProfileFile, WritesManyKeysInOneRewriteAndKeepsUntouchedLines) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("a.ini", "; note\n[Save]\nold=1\n[Other]\nx=y\n");
  IniFile ini(path);
  ini.WriteStrings("save", {{"old", "2"}, {"new", "3"}});
  EXPECT_EQ(dir.Read("a.ini"), "; note\n[Save]\nold=2\nnew=3\r\n[Other]\nx=y\n");
}

// Ways to make the system refuse the write, valid even for root.
TEST(ProfileFile, RefusedWriteRaisesUnableToWriteAndKeepsOldFile) {
  adw::test::TempDir dir;
  dir.Write("file", "not a directory");
  ASSERT_EQ(::mkdir(dir.File("target.ini").c_str(), 0755), 0);
  const std::vector<std::string> refused = {
      dir.File("missing/dir/a.ini"),  // directory missing
      dir.File("file/a.ini"),         // "directory" is a file
      dir.File("target.ini"),         // the target is a directory
  };
  for (const std::string& path : refused) {
    SCOPED_TRACE(path);
    IniFile ini(path);
    try {
      ini.WriteString("Save", "k", "v");
      FAIL() << "no error";
    } catch (const ProfileWriteError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_THROW(ini.AppendString("Save", "k", "v"), ProfileWriteError);
    EXPECT_THROW(ini.Store(IniDocument::Parse("[a]\r\n")), ProfileWriteError);
  }
  EXPECT_EQ(dir.Read("file"), "not a directory");
}

using adw::test::FileSizeCap;

TEST(ProfileFile, FailedRewriteLeavesOldFileAndNoStrayTemporary) {
  adw::test::TempDir dir;
  const std::string old = "[s]\r\nk=old\r\n";
  const std::string path = dir.Write("a.ini", old);
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "k"), "old");
  {
    FileSizeCap cap(64);
    EXPECT_THROW(ini.WriteString("s", "k", std::string(500, 'n')), ProfileWriteError);
    EXPECT_THROW(ini.AppendString("s", "more", std::string(500, 'n')), ProfileWriteError);
  }
  EXPECT_EQ(dir.Read("a.ini"), old);
  EXPECT_EQ(ListFiles(dir.Path(), "*"), (std::vector<std::string>{"a.ini"}));
  EXPECT_EQ(ini.ReadString("s", "k"), "old");
  EXPECT_EQ(ini.ReadString("s", "more", "absent"), "absent");

  // A value the layer refuses changes nothing either.
  EXPECT_THROW(ini.WriteString("s", "k", "bad\nvalue"), ProfileValueError);
  EXPECT_EQ(dir.Read("a.ini"), old);
}

TEST(ProfileFile, AppendStringAddsAtTheEndWithoutRewriting) {
  adw::test::TempDir dir;
  const std::string path = dir.File("adwelder.log");
  IniFile log(path);
  log.AppendString("log", "1", "first");  // empty file: section opened first
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  log.AppendString("LOG", "2", "second");
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the file was rewritten, not appended to";
  EXPECT_EQ(dir.Read("adwelder.log"), "[log]\r\n1=first\r\n2=second\r\n");
  EXPECT_EQ(IniFile(path).ReadString("log", "2"), "second");
  EXPECT_EQ(log.ReadSectionKeys("log"), (std::vector<std::string>{"1", "2"}));
}

struct AppendCase {
  const char* name;
  std::string before;
  std::string section, key, value;
};

class ProfileAppend : public ::testing::TestWithParam<AppendCase> {};

// Wherever the append cannot go at the very end, the result is exactly the
// one WriteString gives.
TEST_P(ProfileAppend, BehavesLikeWriteString) {
  const AppendCase& c = GetParam();
  adw::test::TempDir dir;
  const std::string path = dir.Write("a.ini", c.before);
  IniFile(path).AppendString(c.section, c.key, c.value);
  IniDocument expected = IniDocument::Parse(c.before);
  expected.WriteString(c.section, c.key, c.value);
  EXPECT_EQ(dir.Read("a.ini"), expected.Serialize());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileAppend,
    ::testing::Values(AppendCase{"LastSection", "[a]\r\n[log]\r\nx=1\r\n", "log", "y", "2"},
                      AppendCase{"LastSectionNoFinalBreak", "[log]\r\nx=1", "log", "y", "2"},
                      AppendCase{"NewSection", "[a]\r\nx=1\r\n", "log", "y", "2"},
                      AppendCase{"NotLastSection", "[log]\r\nx=1\r\n[b]\r\nz=0\r\n", "log", "y", "2"},
                      AppendCase{"KeyExists", "[log]\r\ny=1\r\nx=1\r\n", "log", "y", "2"},
                      AppendCase{"TrailingBlankLine", "[log]\r\nx=1\r\n\r\n", "log", "y", "2"},
                      AppendCase{"LfFile", "[log]\nx=1\n", "log", "y", "2"}),
    [](const ::testing::TestParamInfo<AppendCase>& info) { return std::string(info.param.name); });

TEST(ProfileFile, ManyAppendsKeepTheCachedParseTrue) {
  adw::test::TempDir dir;
  const std::string path = dir.File("run.log");
  IniFile log(path);
  for (int i = 0; i < 300; ++i) log.AppendString("log", std::to_string(i), "v" + std::to_string(i));
  IniFile reader(path);
  EXPECT_EQ(reader.ReadSectionKeys("log").size(), 300u);
  EXPECT_EQ(IniDocument::Parse(dir.Read("run.log")).Serialize(), log.Snapshot().Serialize());
}

// Posting workers read the settings while the main thread may rewrite them:
// every read sees one whole state of the file, old or new.
TEST(ProfileFile, ConcurrentReadersSeeWholeStates) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("a.ini", "[Save]\r\na=0\r\nb=0\r\n");
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0}, reads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        IniDocument d = IniFile(path).Snapshot();
        if (d.ReadString("Save", "a", "?") != d.ReadString("Save", "b", "!")) torn.fetch_add(1);
        reads.fetch_add(1);
      }
    });
  }
  IniFile writer(path);
  for (int i = 1; i <= 200; ++i) {
    writer.WriteStrings("Save", {{"a", std::to_string(i)}, {"b", std::to_string(i)}});
    writer.AppendString("Save", "k" + std::to_string(i), "v");
  }
  while (reads.load() < 100) std::this_thread::yield();
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(IniFile(path).ReadString("Save", "a"), "200");
  EXPECT_EQ(IniFile(path).ReadSectionKeys("Save").size(), 202u);
}

}  // namespace
}  // namespace adw::platform
