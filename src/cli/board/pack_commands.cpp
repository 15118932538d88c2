// pack and unpack: a board file to and from its plain description.
#include <cstdio>
#include <exception>
#include <string>

#include "cli/board/commands.h"
#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

// The engine speaks cp1251 (paths included); the terminal speaks UTF-8.
int Fail(const std::exception& e) {
  std::string line = adw::platform::Cp1251ToUtf8(e.what());
  const auto* file = dynamic_cast<const adw::engine::ELzrw1Exception*>(&e);
  if (file && !file->SystemReason().empty()) line += " (" + file->SystemReason() + ")";
  std::fprintf(stderr, "adweld-board: %s\n", line.c_str());
  return kExitFailed;
}

}  // namespace

int RunUnpack(int argc, char** argv) {
  if (argc != 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  std::string plain;
  try {
    plain = adw::engine::ReadBoardText(std::string(argv[1]));
  } catch (const std::exception& e) {
    return Fail(e);
  }
  // Byte for byte: the text is cp1251 with CR LF and may hold any byte.
  if (std::fwrite(plain.data(), 1, plain.size(), stdout) != plain.size() || std::fflush(stdout) != 0) {
    std::fputs("adweld-board: cannot write to standard output\n", stderr);
    return kExitFailed;
  }
  return kExitOk;
}

int RunPack(int argc, char** argv) {
  if (argc != 3) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  try {
    adw::engine::PackBoardFile(std::string(argv[1]), std::string(argv[2]));
  } catch (const std::exception& e) {
    return Fail(e);
  }
  return kExitOk;
}
