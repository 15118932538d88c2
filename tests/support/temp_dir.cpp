#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/files.h"

namespace adw::test {

TempDir::TempDir() {
  std::string pattern = adw::platform::TempDirectory() + "adweld-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary directory under " + adw::platform::TempDirectory());
  }
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // A test may leave read-only entries behind; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code ignored;
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ec);
  std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::File(std::string_view name) const {
  return adw::platform::JoinPath(m_path, name);
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  std::string path = File(name);
  std::error_code ec;
  // Test paths are Windows-1251 text like the program's own; the file system
  // gets them converted, as the platform layer does.
  const std::string native = adw::platform::NativePath(path);
  std::filesystem::create_directories(std::filesystem::path(native).parent_path(), ec);
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write test file " + path);
  return path;
}

std::string TempDir::Read(std::string_view name) const {
  std::ifstream in(adw::platform::NativePath(File(name)), std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace adw::test
