#include "support/tool_run.h"

#include <sys/wait.h>

#include <cstdlib>

#include "platform/files.h"

namespace adw::test {

namespace {

std::string Quoted(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

ToolRun RunTool(const std::string& tool, const std::vector<std::string>& args, const TempDir& io) {
  using platform::NativePath;
  std::string cmd = Quoted(std::string(ADWELD_BIN_DIR) + "/" + tool);
  for (const std::string& a : args) cmd += " " + Quoted(NativePath(a));
  cmd += " >" + Quoted(NativePath(io.File("tool.out"))) + " 2>" + Quoted(NativePath(io.File("tool.err")));
  const int raw = std::system(cmd.c_str());
  ToolRun run;
  run.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
  run.out = io.Read("tool.out");
  run.err = io.Read("tool.err");
  return run;
}

}  // namespace adw::test
