#include "engine/base/board_list.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <numeric>

#include "engine/base/board_file.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

// Sort weight of every cp1251 byte: a lower-case letter weighs as its
// capital, so a Russian user finds "авито" beside "Авто". Weights are twice
// the byte value, which leaves room to put Ё between Е and Ж, where the
// alphabet has it (its code 0xA8 would otherwise sort it before А).
using Weights = std::array<std::uint16_t, 256>;

Weights MakeWeights() {
  Weights w{};
  for (int b = 0; b < 256; ++b) w[static_cast<std::size_t>(b)] = static_cast<std::uint16_t>(b * 2);
  auto same = [&w](int lower, int upper) {
    w[static_cast<std::size_t>(lower)] = w[static_cast<std::size_t>(upper)];
  };
  for (int b = 'a'; b <= 'z'; ++b) same(b, b - 32);
  for (int b = 0xE0; b <= 0xFF; ++b) same(b, b - 32);  // а..я -> А..Я
  // The other Cyrillic pairs of the code page (Ukrainian, Belarusian,
  // Serbian, Macedonian letters) fold too; they keep their code order.
  constexpr std::pair<int, int> kPairs[] = {
      {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F},
      {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5}, {0xBA, 0xAA}, {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD}};
  for (auto [lower, upper] : kPairs) same(lower, upper);
  w[0xA8] = w[0xB8] = static_cast<std::uint16_t>(0xC5 * 2 + 1);  // Ё, ё
  return w;
}

const Weights& SortWeights() {
  static const Weights weights = MakeWeights();
  return weights;
}

std::u16string SortKey(const std::string& name) {
  const Weights& w = SortWeights();
  std::u16string key(name.size(), u'\0');
  for (std::size_t i = 0; i < name.size(); ++i)
    key[i] = static_cast<char16_t>(w[static_cast<unsigned char>(name[i])]);
  return key;
}

bool IsDigitWeight(char16_t weight) {
  return weight >= '0' * 2 && weight <= '9' * 2;
}

// Compares two sort keys with every run of digits taken as the number it
// writes, so "Доска 2" comes before "Доска 11" as a reader expects; runs
// of equal value ("02" and "2") compare equal here.
int CompareKeys(const std::u16string& a, const std::u16string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigitWeight(a[i]) && IsDigitWeight(b[j])) {
      std::size_t si = i, sj = j;
      while (si < a.size() && a[si] == '0' * 2) ++si;
      while (sj < b.size() && b[sj] == '0' * 2) ++sj;
      std::size_t ei = si, ej = sj;
      while (ei < a.size() && IsDigitWeight(a[ei])) ++ei;
      while (ej < b.size() && IsDigitWeight(b[ej])) ++ej;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      for (std::size_t k = 0; k < ei - si; ++k) {
        if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
      }
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

// The search form of a byte: letters fold as in the sort, and Ё is found
// by Е and the other way round, as people type either.
using SearchFold = std::array<char, 256>;

SearchFold MakeSearchFold() {
  SearchFold fold{};
  const Weights& w = SortWeights();
  for (int b = 0; b < 256; ++b) {
    // The capital's code: the weight of a byte is twice the code of the
    // capital it folds to, Ё's odd weight aside.
    const int folded = w[static_cast<std::size_t>(b)] / 2;
    fold[static_cast<std::size_t>(b)] = static_cast<char>(folded);
  }
  fold[0xA8] = fold[0xB8] = static_cast<char>(0xC5);
  return fold;
}

const SearchFold& SearchFolds() {
  static const SearchFold fold = MakeSearchFold();
  return fold;
}

}  // namespace

bool BoardNameLess(const std::string& a, const std::string& b) {
  const int order = CompareKeys(SortKey(a), SortKey(b));
  if (order != 0) return order < 0;
  return a < b;
}

std::string FoldForSearch(std::string_view text) {
  const SearchFold& fold = SearchFolds();
  std::string folded(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) folded[i] = fold[static_cast<unsigned char>(text[i])];
  return folded;
}

bool FoldedNameMatches(std::string_view foldedName, std::string_view foldedFilter) {
  std::size_t at = 0;
  while (at < foldedFilter.size()) {
    while (at < foldedFilter.size() && static_cast<unsigned char>(foldedFilter[at]) <= ' ') ++at;
    std::size_t end = at;
    while (end < foldedFilter.size() && static_cast<unsigned char>(foldedFilter[end]) > ' ') ++end;
    if (end > at && foldedName.find(foldedFilter.substr(at, end - at)) == std::string_view::npos)
      return false;
    at = end;
  }
  return true;
}

bool BoardNameMatches(std::string_view name, std::string_view filter) {
  return FoldedNameMatches(FoldForSearch(name), FoldForSearch(filter));
}

BoardScan ScanBoards(const std::string& scriptDir, Date today) {
  BoardScan scan;
  // An empty box must not become a listing of the current (or root)
  // directory.
  if (scriptDir.empty()) return scan;
  const std::vector<std::string> files = platform::ListFiles(scriptDir, "*.prj");
  scan.boards.reserve(files.size());
  for (const std::string& fileName : files) {
    BoardFile board;
    try {
      board = BoardFile::Read(scriptDir, fileName);
    } catch (const std::exception& e) {
      scan.failures.push_back({fileName, e.what(), false});
      continue;
    }
    BoardScanEntry entry;
    entry.fileName = fileName;
    entry.name = board.Name();
    entry.lastSend = board.LastSend();
    entry.period = board.Period();
    const DueCheck check = CheckDue(entry.lastSend, entry.period, today);
    entry.due = check.due;
    if (!check.problem.empty()) scan.failures.push_back({fileName, check.problem, true});
    scan.boards.push_back(std::move(entry));
  }
  return scan;
}

BoardList LoadBoardList(const std::string& scriptDir, Date today) {
  BoardScan scan = ScanBoards(scriptDir, today);
  BoardList list;
  list.failures = std::move(scan.failures);

  const std::size_t count = scan.boards.size();
  std::vector<std::u16string> keys;
  keys.reserve(count);
  for (const BoardScanEntry& entry : scan.boards) keys.push_back(SortKey(entry.name));
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  // Equal names stay in listing order, so two boards of one NAME keep a
  // stable order from load to load.
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int order = CompareKeys(keys[a], keys[b]);
    if (order != 0) return order < 0;
    return scan.boards[a].name < scan.boards[b].name;
  });

  list.rows.reserve(count);
  for (std::size_t i : order) {
    BoardScanEntry& entry = scan.boards[i];
    list.rows.push_back({std::move(entry.name), entry.due, std::move(entry.fileName)});
  }
  return list;
}

BoardRow ReadBoardRow(const std::string& scriptDir, const std::string& fileName, Date today) {
  const BoardFile board = BoardFile::Read(scriptDir, fileName);
  return {board.Name(), CheckDue(board.LastSend(), board.Period(), today).due, fileName};
}

BoardRow ReadBoardRow(const std::string& scriptDir, const std::string& fileName) {
  return ReadBoardRow(scriptDir, fileName, Today());
}

BoardList LoadBoardList(const std::string& scriptDir) {
  return LoadBoardList(scriptDir, Today());
}

void TickAll(std::vector<BoardRow>& rows) {
  for (BoardRow& row : rows) row.ticked = true;
}

void UntickAll(std::vector<BoardRow>& rows) {
  for (BoardRow& row : rows) row.ticked = false;
}

void InvertTicks(std::vector<BoardRow>& rows) {
  for (BoardRow& row : rows) row.ticked = !row.ticked;
}

std::string BoardLoadHint(const std::vector<BoardLoadFailure>& failures) {
  if (failures.empty()) return {};
  const BoardLoadFailure& first = failures.front();
  return platform::W("Не удалось прочитать проектов: ") + std::to_string(failures.size()) +
         platform::W(" (первый — ") + first.fileName + ": " + first.reason + ")";
}

}  // namespace adw::engine
