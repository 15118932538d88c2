#include "engine/base/board_container.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>

#include "platform/atomic_write.h"
#include "platform/files.h"

namespace adw::engine {

namespace {

constexpr std::string_view kMagic = "!HZL";
constexpr std::string_view kStoredMagic = "ADWP";
constexpr std::size_t kHeaderSize = 8;
const char* const kNoBuffers = "Lzrw1 (de)compression : Failed to get memory for I/O buffers !";

std::string CannotOpen(const std::string& path) {
  return "Cannot open file " + path;
}

bool CanOpenForReading(const std::string& path) {
  std::FILE* f = std::fopen(platform::NativePath(path).c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

// The whole input of the compressor, with its messages for each way the
// reading can fail. lzhSuffix marks failures inside the coded data.
std::string ReadCompressorInput(const std::string& path, bool lzhSuffix) {
  std::optional<std::string> data = platform::ReadWholeFile(path);
  if (data) return std::move(*data);
  if (!CanOpenForReading(path)) {
    throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open input file : " + path);
  }
  throw ELzrw1Exception("Lzrw1 : Error reading from input file : " + path + (lzhSuffix ? " (LZH)" : ""));
}

std::string ReadPlainInput(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(platform::NativePath(path), ec);
  if (ec) throw ELzrw1Exception("Lzrw1 compression : Failed to obtain the size of : " + path);
  if (size > static_cast<std::uintmax_t>(kMaxPlainSize)) {
    throw ELzrw1Exception("Lzrw1 compression : the file is larger than " + std::to_string(kMaxPlainSize) +
                          " bytes and cannot be stored : " + path);
  }
  return ReadCompressorInput(path, true);
}

std::string EncodeContainer(std::string_view plain, std::string_view magic, const std::string& path) {
  // The size field is signed 32-bit, and the reader refuses anything over
  // kMaxPlainSize: a larger input would be stored but never read back.
  if (static_cast<std::int64_t>(plain.size()) > kMaxPlainSize) {
    std::string message = "Lzrw1 compression : the input is larger than " + std::to_string(kMaxPlainSize) +
                          " bytes and cannot be stored";
    if (!path.empty()) message += " : " + path;
    throw ELzrw1Exception(message);
  }
  try {
    std::string out;
    out.reserve(kHeaderSize + plain.size() / 2 + 16);
    out.append(magic);
    const auto size = static_cast<std::uint32_t>(plain.size());
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((size >> shift) & 0xFF));
    TLZH().Encode(plain, out);
    return out;
  } catch (const std::bad_alloc&) {
    throw ELzrw1Exception(kNoBuffers);
  }
}

// acceptStored: a board file read in place may carry either signature; the
// bare compressor knows only its own magic.
std::string DecodeContainer(std::string_view data, const std::string& path, bool acceptStored) {
  if (data.size() < kHeaderSize) throw ELzrw1Exception("Lzrw1 : Error reading from input file : " + path);
  const std::string_view magic = data.substr(0, 4);
  if (magic != kMagic && !(acceptStored && magic == kStoredMagic)) {
    throw ELzrw1Exception(path + " : Lzrw1 decompression : this file has no valid header !");
  }
  std::uint32_t raw = 0;
  for (int i = 0; i < 4; ++i)
    raw |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[4 + i])) << (8 * i);
  const auto declared = static_cast<std::int32_t>(raw);
  if (declared < 0 || declared > kMaxPlainSize) {
    throw ELzrw1Exception(path + " : Lzrw1 decompression : the declared size of " + std::to_string(declared) +
                          " bytes is out of range (0 to " + std::to_string(kMaxPlainSize) + ") !");
  }
  try {
    std::string plain;
    TLZH().Decode(data.substr(kHeaderSize), static_cast<std::size_t>(declared), plain);
    return plain;
  } catch (const std::bad_alloc&) {
    throw ELzrw1Exception(kNoBuffers);
  } catch (const LzhStreamCutShort& e) {
    throw ELzrw1Exception(path + " : Lzrw1 decompression : " + e.what() + " !");
  }
}

void WriteOutput(const std::string& path, std::string_view bytes) {
  const platform::WriteOutcome outcome = platform::WriteFileAtomicChecked(path, bytes);
  if (outcome) return;
  const std::string reason = platform::SystemErrorText(outcome.error);
  if (outcome.failed == platform::WriteOutcome::Step::Open) {
    throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open output file : " + path, reason);
  }
  throw ELzrw1Exception("Lzrw1 : Error writing to output file : " + path, reason);
}

bool IsBareFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(platform::kPathSeparator) == std::string::npos;
}

std::string BoardPath(const std::string& scriptDir, const std::string& fileName) {
  const std::string path = platform::JoinPath(scriptDir, fileName);
  // A name with a separator would put the plain copy outside the
  // temporary directory.
  if (!IsBareFileName(fileName)) throw BoardFileError(CannotOpen(path));
  return path;
}

std::string PlainCopyPath(const std::string& fileName) {
  return platform::TempDirectory() + fileName;
}

}  // namespace

std::int64_t Tlzrw1::Compress() {
  const std::string plain = ReadPlainInput(InputFile);
  const std::string container = EncodeContainer(plain, kMagic, InputFile);
  WriteOutput(OutputFile, container);
  return static_cast<std::int64_t>(container.size());
}

std::int64_t Tlzrw1::Decompress() {
  const std::string data = ReadCompressorInput(InputFile, false);
  std::string plain;
  try {
    plain = DecodeContainer(data, InputFile, false);
  } catch (...) {
    // A stale output of an earlier run must not pass for this one's result.
    platform::RemoveFileQuiet(OutputFile);
    throw;
  }
  WriteOutput(OutputFile, plain);
  return static_cast<std::int64_t>(plain.size());
}

std::string Tlzrw1::CompressBytes(std::string_view plain) {
  return EncodeContainer(plain, kMagic, std::string());
}

std::string Tlzrw1::DecompressBytes(std::string_view container, const std::string& sourcePath) {
  return DecodeContainer(container, sourcePath, true);
}

std::string OpenBoardFile(const std::string& scriptDir, const std::string& fileName) {
  const std::string path = BoardPath(scriptDir, fileName);
  std::optional<std::string> data = platform::ReadWholeFile(path);
  if (!data) throw BoardFileError(CannotOpen(path));

  const std::string copy = PlainCopyPath(fileName);
  std::string plain;
  try {
    plain = DecodeContainer(*data, path, true);
  } catch (...) {
    platform::RemoveFileQuiet(copy);
    throw;
  }
  WriteOutput(copy, plain);
  return copy;
}

void CloseBoardFile(const std::string& scriptDir, const std::string& fileName) {
  const std::string path = BoardPath(scriptDir, fileName);
  const std::string copy = PlainCopyPath(fileName);
  std::optional<std::string> data = platform::ReadWholeFile(path);
  bool stamped = true;
  if (data && data->size() >= kMagic.size() && std::string_view(*data).substr(0, 4) == kMagic) {
    data->replace(0, kStoredMagic.size(), kStoredMagic);
    stamped = platform::WriteFileAtomic(path, *data);
  }
  // The plain copy goes in every case: a board that cannot be stamped back
  // is reported, but its copy must not linger.
  platform::RemoveFileQuiet(copy);
  if (!data || !stamped) throw BoardFileError(CannotOpen(path));
}

void PackBoardFile(const std::string& sourcePath, const std::string& targetPath) {
  const std::string plain = ReadPlainInput(sourcePath);
  // Written with its stored signature in one step, so the target never
  // shows the open state.
  WriteOutput(targetPath, EncodeContainer(plain, kStoredMagic, sourcePath));
}

std::string ReadBoardText(const std::string& path) {
  std::optional<std::string> data = platform::ReadWholeFile(path);
  if (!data) throw BoardFileError(CannotOpen(path));
  return DecodeContainer(*data, path, true);
}

}  // namespace adw::engine
