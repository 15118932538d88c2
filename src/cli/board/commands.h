#pragma once
// Subcommands of adweld-board. main() strips the program name: each Run*
// gets the subcommand's own argc/argv, so argv[0] is the subcommand's name
// ("pack", "unpack", "list") and its arguments follow.
// Every Run* returns the process exit status: 0 on success, 1 when the work
// failed (the reason on standard error), 2 on bad arguments (usage on
// standard error).
#include <cstdio>

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// adweld-board unpack FILE.prj: the plain description to standard output,
// byte for byte.
int RunUnpack(int argc, char** argv);
// adweld-board pack TEXT OUT.prj: stores a plain text as a board file.
int RunPack(int argc, char** argv);
// adweld-board list ...: the board list of a script directory.
int RunList(int argc, char** argv);
// adweld-board forms PAGE ...: the forms and the field tree of a board page.
int RunForms(int argc, char** argv);
// adweld-board stats SCRIPT_DIR [--db FILE]: board statistics from the run journal.
int RunStats(int argc, char** argv);
// adweld-board check SCRIPT_DIR [NAME,...]: the boards' forms checked without posting.
int RunCheck(int argc, char** argv);

// The tool's usage text.
void PrintUsage(std::FILE* to);
