#pragma once
// A board description as its readers see it: the plain INI text a board
// file holds, parsed once, with the keys of section "Project" and the
// entries of section "MAP" read by the profile rules (names without regard
// to case, quotes dropped, first line wins, values cut to 2,047 characters,
// MAP entries with an empty binding left out). Also the due rule that the
// board list applies to LASTSEND and Period.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/base/short_date.h"
#include "platform/profile.h"

namespace adw::engine {

inline constexpr std::string_view kBoardFileExtension = ".prj";

class BoardFile {
 public:
  BoardFile() = default;
  static BoardFile FromText(std::string_view plainText);
  // Unpacks scriptDir/fileName in memory and parses it. Throws what the
  // container throws (BoardFileError, ELzrw1Exception, ElzhException) when
  // the file is missing, not a board file or damaged; the stored file is
  // never changed.
  static BoardFile Read(const std::string& scriptDir, const std::string& fileName);

  std::string Name() const;     // NAME, default empty
  std::string Submit() const;   // SUBMIT, default empty
  std::string SubBody() const;  // SUBBODY, default empty
  std::string Request() const;  // REQUEST, default empty
  std::string Code() const;     // CODE, default "win"
  // LASTSEND and Period as they stand; nullopt when the key is absent (its
  // default, today and "1", belongs to the due rule). A key that is present
  // with an empty value is "", which the due rule refuses.
  std::optional<std::string> LastSend() const;
  std::optional<std::string> Period() const;
  // The MAP bindings: key (option value "$" field name) and binding, in the
  // order of each key's first line.
  std::vector<std::pair<std::string, std::string>> MapEntries() const;

  // Any key of section "Project" (default when absent).
  std::string ReadProjectKey(std::string_view key, std::string_view def) const;
  const platform::IniDocument& Document() const { return m_doc; }

 private:
  std::optional<std::string> ReadOptional(std::string_view key) const;
  platform::IniDocument m_doc;
};

// The board files of a script directory, listed once: a name is found the
// way a directory search finds it, Latin letters without regard to case.
class BoardFileNames {
 public:
  explicit BoardFileNames(const std::string& scriptDir);
  // The file's name as it is on disk; nullopt when there is none.
  std::optional<std::string> Find(std::string_view fileName) const;

 private:
  std::unordered_map<std::string, std::string> m_byLowerName;
};

// today > lastSend + period days, as calendar dates: on the day
// lastSend + period itself a board is not yet due.
bool IsDue(Date lastSend, long long periodDays, Date today);

// Period as a whole decimal number (optional sign, 32-bit); nullopt otherwise.
std::optional<long long> ParsePeriod(std::string_view text);

struct DueCheck {
  bool due = false;
  // Empty when both keys converted; otherwise why the board cannot be
  // judged (English, like the runtime's conversion errors), and due is false.
  std::string problem;
};
// The board list's rule: an absent LASTSEND is today, an absent Period 1,
// so a board without both keys is never due.
DueCheck CheckDue(const std::optional<std::string>& lastSend, const std::optional<std::string>& period,
                  Date today);
DueCheck CheckDue(const BoardFile& board, Date today);

}  // namespace adw::engine
