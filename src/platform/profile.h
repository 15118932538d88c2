#pragma once
// Profile (INI) files with the rules the program relies on:
// - "[name]" opens a section; section and key names compare without regard
//   to (Latin) case;
// - key=value lines: blanks around key and value dropped, a value in a
//   matching pair of single or double quotes read without them;
// - reading a key gives its first line in the section, cut to 2,047
//   characters; an absent file, section or key reads as the default;
// - writing replaces an existing key in place, adds a new key at the end of
//   its section and a new section at the end of the file; a refused write
//   throws ProfileWriteError "Unable to write to <path>".
// A file is parsed once and reused while it is unchanged on disk; every
// rewrite goes through a temporary file and an atomic rename.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace adw::platform {

inline constexpr std::size_t kProfileValueMax = 2047;
inline constexpr std::size_t kProfileKeyListMax = 16384;

class ProfileWriteError : public std::runtime_error {
 public:
  explicit ProfileWriteError(const std::string& path);
};

// The parsed text of one INI file. Pure data: no I/O.
class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument Parse(std::string_view text);
  std::string Serialize() const;

  bool HasSection(std::string_view section) const;
  // Value of the key's first line in the section, quotes stripped, cut to
  // 2,047 characters; def when absent.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Key names of the section in the order of their first line, each key
  // once, up to 16,384 bytes in all (each key counted with one terminating
  // byte). Lines without "=" count as keys with an empty value.
  std::vector<std::string> ReadSectionKeys(std::string_view section) const;
  // key=value entries of the section built from ReadSectionKeys, each key
  // with the value of its first line; entries with an empty value left out.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
  std::vector<std::string> SectionNames() const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void EraseSection(std::string_view section);
  void EraseKey(std::string_view section, std::string_view key);

 private:
  struct Line {
    std::string raw;  // the line as it stands, without its line break
  };
  std::vector<Line> m_lines;
  friend class IniFile;
};

// An INI file on disk. Reads use a cached parse that is refreshed when the
// file's size or modification time changes; writes rewrite the file whole
// (atomically) and throw ProfileWriteError when the system refuses.
class IniFile {
 public:
  explicit IniFile(std::string path);
  const std::string& Path() const { return m_path; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def = {}) const;
  std::vector<std::string> ReadSectionKeys(std::string_view section) const;
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  // The whole parsed document as it is on disk now (empty when unreadable).
  IniDocument Snapshot() const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Several keys of one section in one rewrite.
  void WriteStrings(std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries);
  void EraseSection(std::string_view section);
  // Replaces the whole file with the document (one atomic rewrite).
  void Store(const IniDocument& doc);
  // Adds a key=value line at the very end of the file without rewriting it,
  // when the section is the file's last one (or the file is empty and the
  // section is opened first); otherwise, or when the key already exists in
  // the section, it does exactly what WriteString does. Used by files that
  // only grow, such as the posting log, so an entry costs the same in a
  // large file as in an empty one.
  void AppendString(std::string_view section, std::string_view key, std::string_view value);

 private:
  const IniDocument& Current() const;
  std::string m_path;
  mutable IniDocument m_cache;
  mutable std::int64_t m_cacheSize = -1;
  mutable std::int64_t m_cacheMtimeNs = -1;
};

}  // namespace adw::platform
