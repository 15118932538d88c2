#include "platform/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/files.h"

namespace adw::platform {

namespace {

constexpr std::string_view kTmpMark = ".tmp";

int WriteAllOrError(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

std::string DirOf(const std::string& path) {
  const auto pos = path.rfind(kPathSeparator);
  if (pos == std::string::npos) return ".";
  if (pos == 0) return "/";
  return path.substr(0, pos);
}

std::string NameOf(const std::string& path) {
  const auto pos = path.rfind(kPathSeparator);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool ProcessGone(long pid) {
  if (pid <= 0 || pid == static_cast<long>(::getpid())) return false;
  // EPERM means it runs under another user: not ours to judge.
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Listing a directory costs in proportion to its size, so a process sweeps
// each directory it writes to only once.
void SweepOnce(const std::string& dir) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    std::lock_guard lock(mutex);
    if (!swept.insert(dir).second) return;
  }
  RemoveStaleTemporaries(dir);
}

}  // namespace

bool IsAtomicWriteTemporary(std::string_view name, long& pid) {
  // "." NAME ".tmp" PID "_" N, NAME not empty.
  if (name.size() < 2 || name.front() != '.') return false;
  const std::size_t mark = name.rfind(kTmpMark);
  if (mark == std::string_view::npos || mark < 2) return false;
  const std::string_view tail = name.substr(mark + kTmpMark.size());
  const std::size_t underscore = tail.find('_');
  if (underscore == std::string_view::npos) return false;
  const std::string_view pidText = tail.substr(0, underscore);
  if (!AllDigits(pidText) || !AllDigits(tail.substr(underscore + 1)) || pidText.size() > 9) return false;
  pid = std::stol(std::string(pidText));
  return true;
}

int RemoveStaleTemporaries(const std::string& dir) {
  DIR* d = ::opendir(NativePath(dir).c_str());
  if (!d) return 0;
  const int dfd = ::dirfd(d);
  int removed = 0;
  while (const dirent* e = ::readdir(d)) {
    long pid = 0;
    if (!IsAtomicWriteTemporary(e->d_name, pid) || !ProcessGone(pid)) continue;
    struct stat st {};
    if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlinkat(dfd, e->d_name, 0) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

std::string SystemErrorText(int error) {
  char buf[256];
  // The GNU strerror_r may return a static text instead of filling buf.
  const char* text = ::strerror_r(error, buf, sizeof buf);
  return text ? std::string(text) : "error " + std::to_string(error);
}

WriteOutcome WriteFileAtomicChecked(const std::string& path, std::string_view bytes, bool flush) {
  using Step = WriteOutcome::Step;
  if (path.empty()) return {Step::Open, ENOENT};
  struct stat old {};
  const bool existed = ::stat(NativePath(path).c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return {Step::Open, S_ISDIR(old.st_mode) ? EISDIR : EINVAL};

  const std::string dir = DirOf(path);
  SweepOnce(dir);

  // The temporary file lives beside the target so the rename stays within
  // one file system and therefore is atomic.
  static std::atomic<unsigned> counter{0};
  const std::string base = NameOf(path);
  std::string tmp;
  int fd = -1;
  int openError = EEXIST;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = JoinPath(dir, "." + base + std::string(kTmpMark) + std::to_string(::getpid()) + "_" +
                            std::to_string(counter.fetch_add(1)));
    // 0666 lets the umask decide the mode of a new file, as a plain create would.
    fd = ::open(NativePath(tmp).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      openError = errno;
      if (openError != EEXIST) break;
    }
  }
  if (fd < 0) return {Step::Open, openError};

  int error = WriteAllOrError(fd, bytes);
  if (error == 0 && existed) {
    // A rewrite keeps the permissions the user gave the file.
    (void)::fchmod(fd, old.st_mode & 07777);
  }
  if (error == 0 && flush && ::fdatasync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(NativePath(tmp).c_str(), NativePath(path).c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(NativePath(tmp).c_str());
    return {Step::Write, error};
  }
  return {};
}

}  // namespace adw::platform
