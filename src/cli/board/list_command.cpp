// Placeholder until the board list command is written.
#include <cstdio>

#include "cli/board/commands.h"

int RunList(int /*argc*/, char** /*argv*/) {
  std::fputs("not yet\n", stderr);
  return kExitUsage;
}
