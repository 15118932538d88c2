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

}  // namespace

bool BoardNameLess(const std::string& a, const std::string& b) {
  const std::u16string ka = SortKey(a), kb = SortKey(b);
  if (ka != kb) return ka < kb;
  return a < b;
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
    if (keys[a] != keys[b]) return keys[a] < keys[b];
    return scan.boards[a].name < scan.boards[b].name;
  });

  list.rows.reserve(count);
  for (std::size_t i : order) {
    BoardScanEntry& entry = scan.boards[i];
    list.rows.push_back({std::move(entry.name), entry.due, std::move(entry.fileName)});
  }
  return list;
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
