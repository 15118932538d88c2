#pragma once
// Ticks the user set survive a reload of the lists that the configuration
// save runs: a board keeps its tick when its file is still there, an ad
// keeps its posting mark when an ad of the same subject is still there.
// Boards new to the list keep the due mark the load gave them.
#include <string>
#include <vector>

#include "engine/base/board_list.h"
#include "engine/base/record_set.h"

namespace adw::engine {

// rows: the fresh load; before: the rows as the user left them.
void KeepBoardTicks(std::vector<BoardRow>& rows, const std::vector<BoardRow>& before);

// The subjects of the ads whose STAT is set.
std::vector<std::string> TickedAdNames(const RecordSet& ads);
// Sets STAT to 1 on every ad whose NAME is one of names.
void KeepAdTicks(RecordSet& ads, const std::vector<std::string>& names);

// "Отметить все объявления" and "Отменить все объявления".
void SetAdTicks(RecordSet& ads, bool ticked);

}  // namespace adw::engine
