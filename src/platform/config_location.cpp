#include "platform/config_location.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

#ifndef ADWELD_INSTALL_BINDIR
#define ADWELD_INSTALL_BINDIR ""
#endif

namespace adw::platform {

namespace {

std::string WithSeparator(std::string dir) {
  if (dir.empty() || dir.back() != kPathSeparator) dir.push_back(kPathSeparator);
  return dir;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? FromNativePath(value) : std::string();
}

}  // namespace

std::string ConfigDirectory(const ConfigPlace& place) {
  const bool installed = !place.installedBinDirectory.empty() &&
                         WithSeparator(place.installedBinDirectory) == WithSeparator(place.programDirectory);
  if (place.programDirectoryWritable && !installed) return WithSeparator(place.programDirectory);
  // The base directory rules: a relative $XDG_CONFIG_HOME is invalid and
  // ignored.
  const std::string base = !place.xdgConfigHome.empty() && place.xdgConfigHome.front() == kPathSeparator
                               ? place.xdgConfigHome
                               : JoinPath(place.home, ".config");
  return WithSeparator(JoinPath(base, "adwelder"));
}

std::string ConfigDirectory() {
  ConfigPlace place;
  place.programDirectory = ProgramDirectory();
  place.programDirectoryWritable = ::access(NativePath(place.programDirectory).c_str(), W_OK) == 0;
  place.installedBinDirectory = ADWELD_INSTALL_BINDIR;
  place.xdgConfigHome = Env("XDG_CONFIG_HOME");
  place.home = Env("HOME");
  const std::string dir = ConfigDirectory(place);
  if (dir != place.programDirectory) {
    std::error_code ignored;
    std::filesystem::create_directories(NativePath(dir), ignored);
  }
  return dir;
}

std::string ConfigFilePath(std::string_view fileName) {
  return ConfigDirectory() + std::string(fileName);
}

}  // namespace adw::platform
