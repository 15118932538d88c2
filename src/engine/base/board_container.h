#pragma once
// The stored form of board description files: a container ("!HZL" magic,
// 32-bit little-endian plain size, LZHUF stream) that carries "ADWP" in its
// first four bytes while stored. Tlzrw1 compresses and decompresses whole
// files; OpenBoardFile / CloseBoardFile / PackBoardFile are the three ways
// the rest of the program touches board files.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "engine/base/lzhuf.h"  // ElzhException: table errors of the coder

namespace adw::engine {

// File errors of the compressor (messages as the user sees them).
class ELzrw1Exception : public std::runtime_error {
 public:
  explicit ELzrw1Exception(const std::string& message, std::string systemReason = {})
      : std::runtime_error(message), m_systemReason(std::move(systemReason)) {}
  // The system's reason when a file could not be created or written ("No
  // space left on device"); empty otherwise.
  const std::string& SystemReason() const { return m_systemReason; }

 private:
  std::string m_systemReason;
};
// "Cannot open file %s" and other refusals of a board file operation.
class BoardFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A plain size above this is refused as damage instead of being written;
// a negative one too. Compress refuses larger inputs, so everything it
// writes can be read back.
inline constexpr std::int64_t kMaxPlainSize = 64LL * 1024 * 1024;

class Tlzrw1 {
 public:
  std::string InputFile;
  std::string OutputFile;
  // InputFile -> OutputFile as a "!HZL" container; bytes written. The
  // output is written whole or not at all; on failure an existing output
  // is left as it was.
  std::int64_t Compress();
  // Container InputFile ("!HZL" magic) -> plain OutputFile; bytes written.
  // On a failure after the input was opened the output is deleted.
  std::int64_t Decompress();

  // The same coding in memory. DecompressBytes takes a whole container
  // ("!HZL" or "ADWP" magic) and names sourcePath in its messages.
  static std::string CompressBytes(std::string_view plain);
  static std::string DecompressBytes(std::string_view container, const std::string& sourcePath);
};

// Unpacks scriptDir/fileName into the temporary directory and returns the
// plain copy's path. The stored file is never changed by a read (unpacked
// from memory); a file whose first four bytes are neither "ADWP" nor "!HZL"
// is refused and left untouched.
std::string OpenBoardFile(const std::string& scriptDir, const std::string& fileName);
// Stamps "ADWP" back on a file left with "!HZL" and deletes the plain copy.
void CloseBoardFile(const std::string& scriptDir, const std::string& fileName);
// Stores a plain text file as a board file ("ADWP" signature).
void PackBoardFile(const std::string& sourcePath, const std::string& targetPath);

// The plain text of a stored board file, unpacked in memory with the same
// checks and messages as OpenBoardFile (the fast path of the board list).
std::string ReadBoardText(const std::string& path);

}  // namespace adw::engine
