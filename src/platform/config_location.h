#pragma once
// Where the program keeps its settings file, and with it the log and the
// run journal: beside the program when the user may write there (a program
// unpacked into a folder of its own, as stored setups expect), otherwise in
// the user's configuration folder, as an installed program must.
#include <string>
#include <string_view>

namespace adw::platform {

// The facts the rule reads, apart so the rule can be tried on any of them.
struct ConfigPlace {
  std::string programDirectory;  // ends with the separator
  bool programDirectoryWritable = false;
  std::string installedBinDirectory;  // where an install puts the programs; may be empty
  std::string xdgConfigHome;          // $XDG_CONFIG_HOME, empty when unset
  std::string home;                   // $HOME
};

// The folder for the settings file, ending with the separator: the program's
// folder when it is writable and not the folder the programs are installed
// into (root may write /usr/bin, but no settings belong there); otherwise
// $XDG_CONFIG_HOME/adwelder/ when that is an absolute path, else
// $HOME/.config/adwelder/.
std::string ConfigDirectory(const ConfigPlace& place);

// The rule for the running program; the user's folder is created when it is
// chosen and missing (a failure shows later as the settings file's own
// write error).
std::string ConfigDirectory();

// ConfigDirectory() + fileName.
std::string ConfigFilePath(std::string_view fileName);

}  // namespace adw::platform
