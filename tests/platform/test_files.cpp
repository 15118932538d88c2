#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace adw::platform {
namespace {

TEST(Files, AtomicWriteReplacesWholeAndKeepsPermissions) {
  // The flushed write and the unflushed one keep the same promises short of
  // a power loss.
  for (bool (*write)(const std::string&, std::string_view) : {&WriteFileAtomic, &WriteFileWhole}) {
    adw::test::TempDir dir;
    const std::string path = dir.Write("a.txt", "old contents that are longer");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(write(path, std::string("new\0bytes", 9)));
    EXPECT_EQ(ReadWholeFile(path), std::string("new\0bytes", 9));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_TRUE(write(dir.File("empty"), ""));
    EXPECT_EQ(ReadWholeFile(dir.File("empty")), "");
    EXPECT_EQ(ListFiles(dir.Path(), "*"), (std::vector<std::string>{"a.txt", "empty"}));
    EXPECT_FALSE(write(dir.File("missing/a"), "x"));
  }
}

TEST(Files, RefusedWritesReportFalse) {
  adw::test::TempDir dir;
  dir.Write("plain", "x");
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
  EXPECT_FALSE(WriteFileAtomic(dir.File("missing/a"), "x"));
  EXPECT_FALSE(WriteFileAtomic(dir.File("plain/a"), "x"));
  EXPECT_FALSE(WriteFileAtomic(dir.File("sub"), "x"));
  EXPECT_FALSE(AppendToFile(dir.File("missing/a"), "x"));
  EXPECT_FALSE(ReadWholeFile(dir.File("absent")).has_value());
  EXPECT_FALSE(ReadWholeFile(dir.File("sub")).has_value());
  EXPECT_TRUE(DirectoryExists(dir.File("sub")));
  EXPECT_FALSE(FileExists(dir.File("sub")));
}

TEST(Files, AppendGrowsTheFile) {
  adw::test::TempDir dir;
  const std::string path = dir.File("log");
  ASSERT_TRUE(AppendToFile(path, "a\r\n"));
  ASSERT_TRUE(AppendToFile(path, "b\r\n"));
  EXPECT_EQ(ReadWholeFile(path), "a\r\nb\r\n");
}

TEST(Files, ListFilesMatchesWildcardsWithoutRegardToLatinCase) {
  adw::test::TempDir dir;
  for (const char* name : {"b.prj", "A.PRJ", "c.prj.bak", "x.htm", "\xC0.prj"}) dir.Write(name, "");
  ASSERT_EQ(::mkdir(dir.File("dir.prj").c_str(), 0755), 0);
  EXPECT_EQ(ListFiles(dir.Path(), "*.prj"), (std::vector<std::string>{"A.PRJ", "b.prj", "\xC0.prj"}));
  // The program names files in Windows-1251; on disk they carry UTF-8 names.
  EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/\xD0\x90.prj"));
  EXPECT_EQ(ListFiles(dir.Path(), "?.htm"), (std::vector<std::string>{"x.htm"}));
  EXPECT_EQ(ListFiles(dir.Path(), "*.*.*"), (std::vector<std::string>{"c.prj.bak"}));
  EXPECT_EQ(ListFiles(dir.Path(), "*b*a*k"), (std::vector<std::string>{"c.prj.bak"}));
  EXPECT_TRUE(ListFiles(dir.File("absent"), "*").empty());
  RemoveFileQuiet(dir.File("b.prj"));
  RemoveFileQuiet(dir.File("absent"));  // ignored
  EXPECT_FALSE(FileExists(dir.File("b.prj")));
}

TEST(Files, PathHelpers) {
  EXPECT_EQ(JoinPath("/a/", "/b"), "/a/b");
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/", "b"), "/b");
  EXPECT_EQ(JoinPath("", "b"), "b");
  EXPECT_EQ(ChangeFileExt("/opt/ad/adwelder", ".ini"), "/opt/ad/adwelder.ini");
  EXPECT_EQ(ChangeFileExt("/opt/ad/adwelder.exe", ".log"), "/opt/ad/adwelder.log");
  EXPECT_EQ(ChangeFileExt("/opt/a.d/adwelder", ".ini"), "/opt/a.d/adwelder.ini");
  EXPECT_EQ(ChangeFileExt("/home/.adwelder", ".ini"), "/home/.adwelder.ini");
  const std::string tmp = TempDirectory();
  ASSERT_FALSE(tmp.empty());
  EXPECT_EQ(tmp.back(), '/');
  EXPECT_TRUE(DirectoryExists(tmp));
  EXPECT_EQ(ProgramDirectory() + "test_platform", ProgramFilePath());
}

}  // namespace
}  // namespace adw::platform
