#pragma once
// A fresh directory under the system's temporary directory for one test;
// removed with everything in it when the object goes.
#include <string>
#include <string_view>

namespace adw::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing separator.
  const std::string& Path() const { return m_path; }
  // Path of a name inside the directory.
  std::string File(std::string_view name) const;
  // Writes bytes to a file inside the directory (creating subdirectories)
  // and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // Contents of a file inside the directory; empty when it cannot be read.
  std::string Read(std::string_view name) const;

 private:
  std::string m_path;
};

}  // namespace adw::test
