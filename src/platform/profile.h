#pragma once
// Profile (INI) files with the rules the program relies on:
// - "[name]" opens a section; section and key names compare without regard
//   to (Latin) case and without the blanks around them; where a name stands
//   twice, the first one is the one read and written;
// - key=value lines: blanks around key and value dropped, a value in a
//   matching pair of single or double quotes read without them; a line
//   without "=" is a key with an empty value;
// - reading a key gives its first line in the section, cut to 2,047
//   characters; an absent file, section or key reads as the default;
// - writing replaces an existing key in place, adds a new key at the end of
//   its section and a new section at the end of the file; a refused write
//   throws ProfileWriteError "Unable to write to <path>"; a name or value
//   that would break the file's lines throws ProfileValueError and changes
//   nothing.
// Lines of an existing file keep their own line ends; new lines end in CR LF.
// A file is parsed once and reused while it is unchanged on disk; every
// rewrite goes through a temporary file and an atomic rename.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace adw::platform {

inline constexpr std::size_t kProfileValueMax = 2047;
inline constexpr std::size_t kProfileKeyListMax = 16384;

class ProfileWriteError : public std::runtime_error {
 public:
  explicit ProfileWriteError(const std::string& path);
};

// A section name, key or value that cannot be stored as one line: a line
// break anywhere, a key that is empty, holds "=" or starts with "[".
class ProfileValueError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The parsed text of one INI file. Pure data: no I/O. Lookups use an index
// built by Parse, so reading many keys costs one parse.
class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument Parse(std::string_view text);
  // The text again: a parsed document serializes to exactly its input.
  std::string Serialize() const;

  bool HasSection(std::string_view section) const;
  bool HasKey(std::string_view section, std::string_view key) const;
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
  // Every section name once, in file order.
  std::vector<std::string> SectionNames() const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Erases the first section of that name with all its lines.
  void EraseSection(std::string_view section);
  // Erases the key's first line in the section.
  void EraseKey(std::string_view section, std::string_view key);

  // True when the section is the last one of the text and holds no line of
  // the key yet (or the text is empty): a key line can then be added at the
  // very end. Used by IniFile::AppendString.
  bool CanAppendAtEnd(std::string_view section, std::string_view key) const;
  // The bytes that CanAppendAtEnd's append adds to the end of the text.
  std::string AppendBytes(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  enum class Kind : std::uint8_t { Blank, Section, Key, Bare };
  enum class Eol : std::uint8_t { None, Lf, CrLf, Cr };
  struct Line {
    std::string raw;      // the line as it stands, without its line break
    Eol eol = Eol::CrLf;  // its line break as found
    Kind kind = Kind::Blank;
    // Name (section or key) and value as offsets into raw; the value is
    // already trimmed and unquoted.
    std::uint32_t nameBegin = 0, nameLength = 0, valueBegin = 0, valueLength = 0;
    std::string_view Name() const { return std::string_view(raw).substr(nameBegin, nameLength); }
    std::string_view Value() const { return std::string_view(raw).substr(valueBegin, valueLength); }
  };
  struct Section {
    bool hasHeader = false;  // false only for the lines before the first header
    Line header;
    std::vector<Line> body;
    std::unordered_map<std::string, std::size_t> firstKey;  // folded key -> body index
    void Reindex();
  };
  static Line ParseLine(std::string raw, Eol eol);
  Line* LastLine();
  const Line* LastLine() const;
  const Section* FindSection(std::string_view section) const;
  Section* FindSection(std::string_view section);
  void ReindexSections();
  std::vector<Section> m_sections;
  std::unordered_map<std::string, std::size_t> m_firstSection;  // folded name -> index
  friend class IniFile;
};

// An INI file on disk. Reads use a parse shared by every IniFile of the
// process and refreshed when the file's identity, size or modification time
// changes; writes rewrite the file whole (atomically) and throw
// ProfileWriteError when the system refuses. One object serves one thread;
// separate objects may be used from separate threads.
class IniFile {
 public:
  explicit IniFile(std::string path);
  const std::string& Path() const { return m_path; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def = {}) const;
  std::vector<std::string> ReadSectionKeys(std::string_view section) const;
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  bool HasSection(std::string_view section) const;
  // The whole parsed document as it is on disk now (empty when unreadable).
  IniDocument Snapshot() const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Several keys of one section in one rewrite.
  void WriteStrings(std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& entries);
  void EraseSection(std::string_view section);
  void EraseKey(std::string_view section, std::string_view key);
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
  mutable std::shared_ptr<const IniDocument> m_doc;
};

}  // namespace adw::platform
