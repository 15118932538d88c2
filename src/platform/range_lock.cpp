#include "platform/range_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace adw::platform {

namespace {

struct flock ByteOf(std::int64_t key, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(key);
  lock.l_len = 1;
  lock.l_pid = 0;  // required by open-file-description locks
  return lock;
}

std::runtime_error LockError(const std::string& path, const char* what) {
  return std::runtime_error(std::string(what) + " " + path + ": " + std::strerror(errno));
}

}  // namespace

RangeLockFile::RangeLockFile(const std::string& path) : m_path(path) {
  m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (m_fd < 0) throw LockError(path, "cannot open the lock file");
}

RangeLockFile::~RangeLockFile() {
  if (m_fd >= 0) ::close(m_fd);
}

bool RangeLockFile::TryHold(std::int64_t key) {
  struct flock lock = ByteOf(key, F_WRLCK);
  while (::fcntl(m_fd, F_OFD_SETLK, &lock) != 0) {
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return false;
    throw LockError(m_path, "cannot lock");
  }
  return true;
}

void RangeLockFile::Release(std::int64_t key) noexcept {
  struct flock lock = ByteOf(key, F_UNLCK);
  while (::fcntl(m_fd, F_OFD_SETLK, &lock) != 0 && errno == EINTR) {
  }
}

bool RangeLockFile::HeldElsewhere(std::int64_t key) const {
  struct flock lock = ByteOf(key, F_WRLCK);
  while (::fcntl(m_fd, F_OFD_GETLK, &lock) != 0) {
    if (errno != EINTR) throw LockError(m_path, "cannot test a lock in");
  }
  return lock.l_type != F_UNLCK;
}

}  // namespace adw::platform
