#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

const std::string kAbcStored = Bytes({0x41, 0x44, 0x57, 0x50, 0x03, 0, 0, 0, 0xF6, 0xFB, 0xBD, 0xE0});
const std::string kAbcabcxyStored =
    Bytes({0x41, 0x44, 0x57, 0x50, 0x08, 0, 0, 0, 0xF6, 0xFB, 0xBD, 0xF1, 0x80, 0x20, 0x40, 0x50});

std::string WithMagic(std::string container, std::string_view magic) {
  return container.replace(0, 4, magic);
}

std::string Header(std::string_view magic, std::uint32_t size) {
  std::string h(magic);
  for (int shift = 0; shift < 32; shift += 8) h.push_back(static_cast<char>((size >> shift) & 0xFF));
  return h;
}

std::string BoardText() {
  return platform::W(
      "[Project]\r\nNAME=Барахолка\r\nSUBMIT=http://127.0.0.1/add.cgi\r\n"
      "SUBBODY=subject=$TEMA&text=$TEXT&rubr=3&send=Отправить\r\nREQUEST=http://127.0.0.1/"
      "\r\nCODE=KOI8-R\r\n \r\n"
      "[MAP]\r\n3$rubr=Ноутбуки$comp\r\n7$rubr=Автомобили$auto\r\n\r\n\r\n\r\n");
}

// Runs fn, which must throw E with exactly this message.
template <class E>
void ExpectFailure(const std::function<void()>& fn, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "no error; expected: " << message;
  } catch (const E& e) {
    EXPECT_EQ(std::string(e.what()), message);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "wrong error class: " << e.what();
  }
}

class BoardContainer : public ::testing::Test {
 protected:
  // Board files get names of their own: their plain copies share the
  // system's temporary directory with every other test.
  std::string Name(const std::string& stem) const {
    return stem + "-" + std::filesystem::path(m_dir.Path()).filename().string() + ".prj";
  }
  std::string CopyPath(const std::string& name) const { return platform::TempDirectory() + name; }
  void TearDown() override {
    for (const std::string& name : m_names) platform::RemoveFileQuiet(CopyPath(name));
  }
  // A board file in the script directory with these bytes; returns its name.
  std::string Board(const std::string& stem, const std::string& bytes) {
    const std::string name = Name(stem);
    m_dir.Write(name, bytes);
    m_names.push_back(name);
    return name;
  }

  test::TempDir m_dir;
  std::vector<std::string> m_names;
};

TEST_F(BoardContainer, StoresTheWorkedExamplesByteForByte) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"abc", kAbcStored},
                                                                  {"abcabcxy", kAbcabcxyStored}};
  for (const auto& [plain, stored] : cases) {
    const std::string source = m_dir.Write("plain.txt", plain);

    PackBoardFile(source, m_dir.File("board.prj"));
    EXPECT_EQ(m_dir.Read("board.prj"), stored) << plain;

    Tlzrw1 lzrw;
    lzrw.InputFile = source;
    lzrw.OutputFile = m_dir.File("packed.lzh");
    EXPECT_EQ(lzrw.Compress(), static_cast<std::int64_t>(stored.size()));
    EXPECT_EQ(m_dir.Read("packed.lzh"), WithMagic(stored, "!HZL")) << plain;
    EXPECT_EQ(Tlzrw1::CompressBytes(plain), WithMagic(stored, "!HZL"));

    lzrw.InputFile = m_dir.File("packed.lzh");
    lzrw.OutputFile = m_dir.File("unpacked.txt");
    EXPECT_EQ(lzrw.Decompress(), static_cast<std::int64_t>(plain.size()));
    EXPECT_EQ(m_dir.Read("unpacked.txt"), plain);
    EXPECT_EQ(ReadBoardText(m_dir.File("board.prj")), plain);
  }
}

TEST_F(BoardContainer, EmptyFileIsTheHeaderAlone) {
  const std::string source = m_dir.Write("empty.txt", "");
  PackBoardFile(source, m_dir.File("empty.prj"));
  EXPECT_EQ(m_dir.Read("empty.prj"), Header("ADWP", 0));

  // Bytes after the header of an empty file are never decoded.
  const std::string name = Board("empty", Header("ADWP", 0) + "\xFF\x13 junk");
  EXPECT_EQ(ReadBoardText(m_dir.File(name)), "");
  const std::string copy = OpenBoardFile(m_dir.Path(), name);
  EXPECT_TRUE(platform::FileExists(copy));
  EXPECT_EQ(platform::ReadWholeFile(copy).value_or("?"), "");
  CloseBoardFile(m_dir.Path(), name);
}

TEST_F(BoardContainer, DecodesExactlyTheDeclaredSize) {
  const std::string plain = BoardText() + BoardText();
  const std::string container = Tlzrw1::CompressBytes(plain);

  EXPECT_EQ(Tlzrw1::DecompressBytes(container + "trailing bytes", "x.prj"), plain);

  // The last byte's padding reads on as zero bits: a size a few bytes over
  // the coded text still decodes.
  std::string abcPlus = kAbcStored;
  abcPlus[4] = 5;
  EXPECT_EQ(Tlzrw1::DecompressBytes(abcPlus, "x.prj").substr(0, 3), "abc");
  EXPECT_EQ(Tlzrw1::DecompressBytes(abcPlus, "x.prj").size(), 5u);

  // A stream that runs out long before its declared size is damage,
  // reported at once whatever size the header claims.
  abcPlus.replace(4, 2, "\xE8\x03");  // 1000
  const std::string hostile = Header("ADWP", 64u << 20) + std::string(4, '\0');
  for (const std::string& damaged :
       {container.substr(0, container.size() - 20), container.substr(0, 8), abcPlus, hostile}) {
    ExpectFailure<ELzrw1Exception>([&] { Tlzrw1::DecompressBytes(damaged, "x.prj"); },
                                   "x.prj : Lzrw1 decompression : file is cut short !");
  }
}

TEST_F(BoardContainer, ReportsEachFailureWithItsMessage) {
  Tlzrw1 lzrw;
  const std::string missing = m_dir.File("missing.txt");
  const std::string plain = m_dir.Write("plain.txt", "abc");

  lzrw.InputFile = missing;
  lzrw.OutputFile = m_dir.File("out.lzh");
  ExpectFailure<ELzrw1Exception>([&] { lzrw.Compress(); },
                                 "Lzrw1 compression : Failed to obtain the size of : " + missing);
  ExpectFailure<ELzrw1Exception>([&] { lzrw.Decompress(); },
                                 "Lzrw1 (de)compression : Failed to open input file : " + missing);
  EXPECT_FALSE(platform::FileExists(lzrw.OutputFile));

  const std::string noDir = m_dir.File("no/such/dir/out.lzh");
  lzrw.InputFile = plain;
  lzrw.OutputFile = noDir;
  ExpectFailure<ELzrw1Exception>([&] { lzrw.Compress(); },
                                 "Lzrw1 (de)compression : Failed to open output file : " + noDir);

  // Decompression failures delete the output, even one left from before.
  struct Bad {
    const char* name;
    std::string bytes;
    std::string message;  // path appended or prepended below
    bool pathFirst;
  };
  const std::vector<Bad> bad = {
      {"empty", "", "Lzrw1 : Error reading from input file : ", false},
      {"seven bytes", std::string("!HZL\x03\x00\x00", 7), "Lzrw1 : Error reading from input file : ", false},
      {"stored signature", kAbcStored, " : Lzrw1 decompression : this file has no valid header !", true},
      {"text", "[Project]\r\nNAME=x\r\n", " : Lzrw1 decompression : this file has no valid header !", true},
  };
  for (const Bad& b : bad) {
    const std::string input = m_dir.Write("bad.lzh", b.bytes);
    m_dir.Write("stale.txt", "stale");
    lzrw.InputFile = input;
    lzrw.OutputFile = m_dir.File("stale.txt");
    ExpectFailure<ELzrw1Exception>([&] { lzrw.Decompress(); },
                                   b.pathFirst ? input + b.message : b.message + input);
    EXPECT_FALSE(platform::FileExists(lzrw.OutputFile)) << b.name;
  }
}

TEST_F(BoardContainer, RefusesDeclaredSizesOutOfRange) {
  const std::string tail = Tlzrw1::CompressBytes("abc").substr(8);
  const std::vector<std::uint32_t> sizes = {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu,
                                            static_cast<std::uint32_t>(kMaxPlainSize + 1)};
  for (std::uint32_t size : sizes) {
    const std::string bytes = Header("ADWP", size) + tail;
    const std::string name = Board("huge", bytes);
    const std::string path = m_dir.File(name);
    try {
      OpenBoardFile(m_dir.Path(), name);
      ADD_FAILURE() << "declared size " << size << " accepted";
    } catch (const ELzrw1Exception& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind(path + " : Lzrw1 decompression : ", 0), 0u) << message;
      EXPECT_NE(message.find("out of range"), std::string::npos) << message;
    }
    EXPECT_EQ(m_dir.Read(name), bytes);
    EXPECT_FALSE(platform::FileExists(CopyPath(name)));
  }
}

TEST_F(BoardContainer, CompressRefusesWhatCouldNotBeReadBack) {
  const std::string big = m_dir.File("big.txt");
  m_dir.Write("big.txt", "");
  std::filesystem::resize_file(big, static_cast<std::uintmax_t>(kMaxPlainSize) + 1);  // sparse
  Tlzrw1 lzrw;
  lzrw.InputFile = big;
  lzrw.OutputFile = m_dir.File("big.lzh");
  EXPECT_THROW(lzrw.Compress(), ELzrw1Exception);
  EXPECT_FALSE(platform::FileExists(lzrw.OutputFile));
}

TEST_F(BoardContainer, OpenAndCloseLeaveTheStoredFileUnchanged) {
  const std::string text = BoardText();
  const std::string source = m_dir.Write(platform::W("текст.txt"), text);
  const std::string name = Name(platform::W("Барахолка"));
  m_names.push_back(name);
  PackBoardFile(source, m_dir.File(name));
  const std::string stored = m_dir.Read(name);
  ASSERT_EQ(stored.substr(0, 4), "ADWP");

  const std::string copy = OpenBoardFile(m_dir.Path(), name);
  EXPECT_EQ(copy, CopyPath(name));
  EXPECT_EQ(platform::ReadWholeFile(copy).value_or(""), text);
  EXPECT_EQ(m_dir.Read(name), stored);  // a read writes nothing
  CloseBoardFile(m_dir.Path(), name);
  EXPECT_EQ(m_dir.Read(name), stored);
  EXPECT_FALSE(platform::FileExists(copy));

  EXPECT_EQ(ReadBoardText(m_dir.File(name)), text);
}

TEST_F(BoardContainer, FileLeftOpenReadsAndIsStoredAgainOnClose) {
  const std::string name = Board("left-open", WithMagic(kAbcabcxyStored, "!HZL"));
  const std::string copy = OpenBoardFile(m_dir.Path(), name);
  EXPECT_EQ(platform::ReadWholeFile(copy).value_or(""), "abcabcxy");
  EXPECT_EQ(ReadBoardText(m_dir.File(name)), "abcabcxy");
  CloseBoardFile(m_dir.Path(), name);
  EXPECT_EQ(m_dir.Read(name), kAbcabcxyStored);
  EXPECT_FALSE(platform::FileExists(copy));
}

TEST_F(BoardContainer, ReadingRefusesWhatIsNotABoardContainer) {
  const std::string foreign = "PK\x03\x04 not a board, but precious";
  const std::string name = Board("foreign", foreign);
  const std::string path = m_dir.File(name);
  const std::string message = path + " : Lzrw1 decompression : this file has no valid header !";

  ExpectFailure<ELzrw1Exception>([&] { OpenBoardFile(m_dir.Path(), name); }, message);
  ExpectFailure<ELzrw1Exception>([&] { ReadBoardText(path); }, message);
  EXPECT_FALSE(platform::FileExists(CopyPath(name)));
  CloseBoardFile(m_dir.Path(), name);
  EXPECT_EQ(m_dir.Read(name), foreign);
}

TEST_F(BoardContainer, FailedReadLeavesNoPlainCopy) {
  const std::string name = Board("short", "ADWP\x03");
  const std::string copy = CopyPath(name);
  ASSERT_TRUE(platform::WriteFileAtomic(copy, "stale copy of an earlier read"));
  ExpectFailure<ELzrw1Exception>([&] { OpenBoardFile(m_dir.Path(), name); },
                                 "Lzrw1 : Error reading from input file : " + m_dir.File(name));
  EXPECT_FALSE(platform::FileExists(copy));
  EXPECT_EQ(m_dir.Read(name), "ADWP\x03");
}

TEST_F(BoardContainer, MissingBoardFileCannotBeOpened) {
  const std::string name = Name("missing");
  const std::string path = m_dir.File(name);
  ExpectFailure<BoardFileError>([&] { OpenBoardFile(m_dir.Path(), name); }, "Cannot open file " + path);
  ExpectFailure<BoardFileError>([&] { ReadBoardText(path); }, "Cannot open file " + path);
  ExpectFailure<BoardFileError>([&] { CloseBoardFile(m_dir.Path(), name); }, "Cannot open file " + path);
  // A name must stay inside the script and temporary directories.
  EXPECT_THROW(OpenBoardFile(m_dir.Path(), "../" + name), BoardFileError);
}

TEST_F(BoardContainer, FailedPackLeavesTheTargetAsItWas) {
  const std::string target = m_dir.Write("board.prj", kAbcStored);
  EXPECT_THROW(PackBoardFile(m_dir.File("missing.txt"), target), ELzrw1Exception);
  EXPECT_EQ(m_dir.Read("board.prj"), kAbcStored);

  // Packing in place reads the whole text before anything is written.
  const std::string text = m_dir.Write("same.prj", BoardText());
  PackBoardFile(text, text);
  EXPECT_EQ(ReadBoardText(text), BoardText());
}

}  // namespace
}  // namespace adw::engine
