#pragma once
// Files as the program uses them: whole-file reads and writes, the per-user
// temporary directory, wildcard listing and best-effort deletion.
//
// Paths are Windows-1251 text like every other text the program keeps: a
// board's file name is its NAME, a report directory comes from base.dat, the
// script directory from the settings file. The file system here names files
// in UTF-8, so every call into the OS converts the path with NativePath and
// every name read from the OS comes back through FromNativePath. The
// separator is "/".
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace adw::platform {

// Path conversion at the OS boundary (plain ASCII paths pass unchanged).
std::string NativePath(std::string_view path);
std::string FromNativePath(std::string_view native);

// The platform's path separator as text.
inline constexpr char kPathSeparator = '/';

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The per-user temporary directory, ending with the separator.
std::string TempDirectory();

// Whole contents of a file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes the whole file through a temporary file beside it and an atomic
// rename: a crash leaves the old file or the new one, never a cut one.
// Returns false when the system refuses (read-only, directory missing).
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

// The same temporary file and rename, without waiting for the disk: readers
// and a crashed program still see the old file or the new one whole, only a
// power loss may take the newest content back. For files another record
// already keeps durably, written often enough that a flush each would cost.
bool WriteFileWhole(const std::string& path, std::string_view bytes);

// Appends bytes at the end of the file (created when absent). Used where
// the file only ever grows at its end, so a rewrite is not needed. A failed
// append is cut back off, so the file keeps its old end.
bool AppendToFile(const std::string& path, std::string_view bytes);

// Size and change time of a file, to tell whether it changed since it was
// last seen; nullopt when it does not exist or cannot be examined.
struct FileStamp {
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StatFile(const std::string& path);

// Up to length bytes of a file from offset; nullopt when it cannot be read.
std::optional<std::string> ReadFileRange(const std::string& path, std::int64_t offset, std::size_t length);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Names (not paths) of the regular files in dir whose name matches the
// wildcard pattern ("*" any run, "?" one character; Latin letters compared
// without regard to case), sorted by name. Empty when dir cannot be read.
std::vector<std::string> ListFiles(const std::string& dir, std::string_view pattern);

// Best-effort deletion: failures are ignored.
void RemoveFileQuiet(const std::string& path);

// Joins a directory and a name with exactly one separator between them.
std::string JoinPath(std::string_view dir, std::string_view name);

// The path with the extension of its last component replaced by ext
// (".ini", ".log"), or ext appended when that component has none. A leading
// dot of a name (".profile") is not an extension.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// Directory of the running program file, ending with the separator, and its
// full path.
std::string ProgramFilePath();
std::string ProgramDirectory();

}  // namespace adw::platform
