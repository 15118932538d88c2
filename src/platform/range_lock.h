#pragma once
// Advisory locks on single bytes of one file, one byte per key, held by an
// open file description: another handle, in this process or another, sees
// them, and the system drops them when the handle closes or its process
// dies in any way (kill -9 included), so a lock can never outlive its
// holder. Linux open-file-description locks.
#include <cstdint>
#include <string>

namespace adw::platform {

class RangeLockFile {
 public:
  // Opens or creates the file (it stays empty: locks may lie past its end).
  // Throws std::runtime_error naming the file and the system's reason.
  explicit RangeLockFile(const std::string& path);
  ~RangeLockFile();
  RangeLockFile(const RangeLockFile&) = delete;
  RangeLockFile& operator=(const RangeLockFile&) = delete;

  // Takes the key's lock without waiting; false when another handle holds
  // it. Taking a key this handle holds already succeeds.
  bool TryHold(std::int64_t key);
  void Release(std::int64_t key) noexcept;
  // Whether another handle holds the key's lock (this one's own do not
  // count).
  bool HeldElsewhere(std::int64_t key) const;

  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  int m_fd = -1;
};

}  // namespace adw::platform
