// adweld-board: board files from the command line, over the same engine as
// the program.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/board/commands.h"
#include "platform/files.h"
#include "product_version.h"

void PrintUsage(std::FILE* to) {
  std::fputs(
      "usage: adweld-board COMMAND ARGS\n"
      "  pack TEXT OUT.prj    store the plain board description TEXT as the board file OUT.prj\n"
      "  unpack FILE.prj      write the plain description of a board file to standard output\n"
      "  list [--today dd.MM.yyyy] DIR\n"
      "                       the board list of a script directory\n"
      "  forms PAGE [--code WIN1251|KOI8-R|ISO|UTF-8] [--form N]\n"
      "                       the forms of a page (file or http URL) and the MAP lines of form N\n"
      "        [--ca-file CA.pem]  a CA trusted beside the system's for an https:// PAGE\n"
      "  stats DIR [--db FILE]\n"
      "                       each board's success rate (30 days), last success and error, median\n"
      "                       time and last check, from the run journal (default: adwelder.db\n"
      "                       beside the program)\n"
      "  check DIR [NAME,...] [--settings FILE]\n"
      "                       fetch each board's REQUEST page and compare its form with SUBMIT,\n"
      "                       SUBBODY and MAP: STATE<TAB>NAME<TAB>DETAIL, STATE ok, changed or\n"
      "                       unreachable\n"
      "  --version            the program's name and version\n",
      to);
}

int main(int argc, char** rawArgv) {
  // The command line arrives in UTF-8; board names, page files and
  // directories are Windows-1251 text inside the program, like every path
  // it passes to the platform.
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(adw::platform::FromNativePath(rawArgv[i]));
  std::vector<char*> argvStore;
  for (std::string& a : args) argvStore.push_back(a.data());
  argvStore.push_back(nullptr);
  char** argv = argvStore.data();
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "--version") == 0) {
    std::printf("adweld-board %s\n", adw::kVersionText);
    return kExitOk;
  }
  if (std::strcmp(command, "-h") == 0 || std::strcmp(command, "--help") == 0 ||
      std::strcmp(command, "help") == 0) {
    PrintUsage(stdout);
    return kExitOk;
  }
  if (std::strcmp(command, "pack") == 0) return RunPack(argc - 1, argv + 1);
  if (std::strcmp(command, "unpack") == 0) return RunUnpack(argc - 1, argv + 1);
  if (std::strcmp(command, "list") == 0) return RunList(argc - 1, argv + 1);
  if (std::strcmp(command, "forms") == 0) return RunForms(argc - 1, argv + 1);
  if (std::strcmp(command, "stats") == 0) return RunStats(argc - 1, argv + 1);
  if (std::strcmp(command, "check") == 0) return RunCheck(argc - 1, argv + 1);
  std::fprintf(stderr, "adweld-board: unknown command \"%s\"\n", command);
  PrintUsage(stderr);
  return kExitUsage;
}
