#pragma once
// The board list: one row per board file of the script directory, showing
// the board's NAME, ticked when the board is due. The rows and their ticks
// belong to the window; this is the rule that builds and changes them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/short_date.h"

namespace adw::engine {

struct BoardRow {
  std::string name;  // NAME of the board (cp1251); the row's link to the board
  bool ticked = false;
  std::string fileName;  // the board file it came from, for messages
};

// A board file that could not be read as a whole: unpacking failed (it is
// then missing from the list), or its LASTSEND or Period could not be
// converted (it is then listed unticked).
struct BoardLoadFailure {
  std::string fileName;
  std::string reason;
  bool listed = false;
};

// One board file as the scan read it, in the order of the directory listing.
struct BoardScanEntry {
  std::string fileName;
  std::string name;
  std::optional<std::string> lastSend;  // nullopt: key absent
  std::optional<std::string> period;    // nullopt: key absent
  bool due = false;
};

struct BoardScan {
  std::vector<BoardScanEntry> boards;
  std::vector<BoardLoadFailure> failures;
};

// Reads every "*.prj" file of scriptDir once, in memory; a failing file is
// recorded and the scan goes on with the next one. An empty scriptDir or a
// missing directory gives an empty scan.
BoardScan ScanBoards(const std::string& scriptDir, Date today);

struct BoardList {
  std::vector<BoardRow> rows;
  std::vector<BoardLoadFailure> failures;
};

// Rows sorted by name without regard to letter case, Latin and Cyrillic
// alike (А..Я with а..я, Ё with ё sorted right after Е), numbers in names
// by their value ("2" before "11"), each ticked when its board is due on
// the given day.
BoardList LoadBoardList(const std::string& scriptDir, Date today);
BoardList LoadBoardList(const std::string& scriptDir);

// The row of one board file, as LoadBoardList would give it; throws what
// reading the file throws.
BoardRow ReadBoardRow(const std::string& scriptDir, const std::string& fileName, Date today);
BoardRow ReadBoardRow(const std::string& scriptDir, const std::string& fileName);

// The row order of the board list: true when a sorts before b.
bool BoardNameLess(const std::string& a, const std::string& b);

// The board list's filter: a name matches when it holds every word of the
// filter (words split at blanks), letter case ignored for Latin and
// Cyrillic alike and Ё taken as Е. An empty filter matches every name.
bool BoardNameMatches(std::string_view name, std::string_view filter);
// The same in two steps, so a list folds its names once and not at every
// keystroke: FoldForSearch gives the form both sides are compared in.
std::string FoldForSearch(std::string_view text);
bool FoldedNameMatches(std::string_view foldedName, std::string_view foldedFilter);

void TickAll(std::vector<BoardRow>& rows);
void UntickAll(std::vector<BoardRow>& rows);
void InvertTicks(std::vector<BoardRow>& rows);

// The one-line status bar hint about boards that could not be read (cp1251),
// naming how many and the first one; empty when there were none.
std::string BoardLoadHint(const std::vector<BoardLoadFailure>& failures);

}  // namespace adw::engine
