#pragma once
// Runs one of the built command-line tools the way a user's shell would:
// arguments (Windows-1251 text, like the program's paths) are handed over in
// UTF-8, and standard output and error are captured through files of io.
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace adw::test {

struct ToolRun {
  int status = -1;  // the exit status; -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

// tool is a program name in the build's bin directory ("adweld-board").
ToolRun RunTool(const std::string& tool, const std::vector<std::string>& args, const TempDir& io);

}  // namespace adw::test
