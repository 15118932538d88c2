#include "engine/base/kept_ticks.h"

#include <unordered_map>
#include <unordered_set>

namespace adw::engine {

void KeepBoardTicks(std::vector<BoardRow>& rows, const std::vector<BoardRow>& before) {
  std::unordered_map<std::string, bool> ticks;
  ticks.reserve(before.size());
  for (const BoardRow& row : before) {
    // Rows from older lists may have no file; they cannot be told apart.
    if (!row.fileName.empty()) ticks[row.fileName] = row.ticked;
  }
  for (BoardRow& row : rows) {
    const auto found = ticks.find(row.fileName);
    if (found != ticks.end()) row.ticked = found->second;
  }
}

std::vector<std::string> TickedAdNames(const RecordSet& ads) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < ads.RecordCount(); ++i) {
    const std::string& stat = ads.Value(i, "STAT");
    if (!stat.empty() && stat != "0") names.push_back(ads.Value(i, "NAME"));
  }
  return names;
}

void KeepAdTicks(RecordSet& ads, const std::vector<std::string>& names) {
  if (names.empty()) return;
  const std::unordered_set<std::string> ticked(names.begin(), names.end());
  for (std::size_t i = 0; i < ads.RecordCount(); ++i) {
    if (ticked.count(ads.Value(i, "NAME"))) ads.SetValue(i, "STAT", "1");
  }
}

void SetAdTicks(RecordSet& ads, bool ticked) {
  for (std::size_t i = 0; i < ads.RecordCount(); ++i) ads.SetValue(i, "STAT", ticked ? "1" : "0");
}

}  // namespace adw::engine
