#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/atomic_write.h"
#include "platform/text1251.h"

namespace adw::platform {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// Wildcard match with "*" and "?"; Latin letters compare without regard to
// case. Iterative with one backtrack point, so it is linear in practice and
// never recurses on hostile patterns.
bool WildcardMatch(std::string_view name, std::string_view pattern) {
  std::size_t n = 0, p = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string NativePath(std::string_view path) {
  return IsAscii(path) ? std::string(path) : Cp1251ToUtf8(path);
}

std::string FromNativePath(std::string_view native) {
  return IsAscii(native) ? std::string(native) : Utf8ToCp1251(native);
}

std::string TempDirectory() {
  std::error_code ec;
  std::string dir = FromNativePath(std::filesystem::temp_directory_path(ec).string());
  if (ec || dir.empty()) dir = "/tmp";
  if (dir.back() != kPathSeparator) dir.push_back(kPathSeparator);
  return dir;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string data;
  if (st.st_size > 0) data.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return data;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
  return static_cast<bool>(WriteFileAtomicChecked(path, bytes));
}

bool WriteFileWhole(const std::string& path, std::string_view bytes) {
  return static_cast<bool>(WriteFileAtomicChecked(path, bytes, false));
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat st {};
  const bool sized = ::fstat(fd, &st) == 0;
  bool ok = WriteAll(fd, bytes);
  // A half-written entry (full disk) is taken back so the file never ends
  // in a cut line.
  if (!ok && sized && ::ftruncate(fd, st.st_size) != 0) {
    // It cannot be taken back either: end the cut entry the way entries end,
    // so the next one still starts on a line of its own.
    const std::string_view ending = bytes.ends_with("\r\n") ? "\r\n" : bytes.ends_with('\n') ? "\n" : "";
    if (!ending.empty()) WriteAll(fd, ending);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

std::optional<FileStamp> StatFile(const std::string& path) {
  struct stat st {};
  if (::stat(NativePath(path).c_str(), &st) != 0) return std::nullopt;
  return FileStamp{static_cast<std::int64_t>(st.st_size),
                   static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::optional<std::string> ReadFileRange(const std::string& path, std::int64_t offset, std::size_t length) {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string data(length, '\0');
  std::size_t got = 0;
  while (got < length) {
    ssize_t n =
        ::pread(fd, data.data() + got, length - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  data.resize(got);
  return data;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> ListFiles(const std::string& dir, std::string_view pattern) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.empty() ? "." : NativePath(dir).c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    const std::string converted = FromNativePath(e->d_name);
    std::string_view name = converted;
    if (name == "." || name == "..") continue;
    if (!WildcardMatch(name, pattern)) continue;
    bool regular = e->d_type == DT_REG;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      regular = FileExists(JoinPath(dir, name));
    }
    if (regular) names.emplace_back(name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveFileQuiet(const std::string& path) {
  if (!path.empty()) ::unlink(NativePath(path).c_str());
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  while (!name.empty() && name.front() == kPathSeparator) name.remove_prefix(1);
  if (dir.empty()) return std::string(name);
  std::string_view d = dir;
  while (d.size() > 1 && d.back() == kPathSeparator) d.remove_suffix(1);
  std::string out(d);
  if (out.back() != kPathSeparator) out.push_back(kPathSeparator);
  out.append(name);
  return out;
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  std::size_t nameStart = path.rfind(kPathSeparator);
  nameStart = nameStart == std::string_view::npos ? 0 : nameStart + 1;
  std::size_t dot = path.rfind('.');
  std::string out(path);
  if (dot != std::string_view::npos && dot > nameStart) out.resize(dot);
  out.append(ext);
  return out;
}

std::string ProgramFilePath() {
  static const std::string path = [] {
    char buf[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return std::string();
    return FromNativePath(std::string_view(buf, static_cast<std::size_t>(n)));
  }();
  return path;
}

std::string ProgramDirectory() {
  std::string path = ProgramFilePath();
  auto pos = path.rfind(kPathSeparator);
  if (pos == std::string::npos) return std::string();
  return path.substr(0, pos + 1);
}

}  // namespace adw::platform
