#pragma once
// The board list CLBMain as a list widget with a tick box per row. The rows
// and their ticks live in the widget; the engine's rules build and change
// them, and the posting run reads them back in list order.
#include <vector>

#include "engine/base/board_list.h"

class QListWidget;

namespace adw::ui {

// The look and behaviour of the board list: ticks by click, no editing.
void SetUpBoardList(QListWidget* list);

// Replaces every row by the given rows, in their order (LoadBoardList
// delivers them sorted).
void ShowBoardRows(QListWidget* list, const std::vector<adw::engine::BoardRow>& rows);

// Every row with its name and tick state, in list order.
std::vector<adw::engine::BoardRow> BoardRowsOf(const QListWidget* list);

// Applies one of the engine's tick rules (TickAll, UntickAll, InvertTicks)
// to the rows of the list.
void ChangeBoardTicks(QListWidget* list, void (*rule)(std::vector<adw::engine::BoardRow>&));

}  // namespace adw::ui
