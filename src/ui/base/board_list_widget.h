#pragma once
// The board list CLBMain as a list widget with a tick box per row. The rows
// and their ticks live in the widget; the engine's rules build and change
// them, and the posting run reads them back in list order.
#include <vector>

#include "engine/base/board_list.h"

class QListWidget;
class QListWidgetItem;
class QString;

namespace adw::ui {

// The look and behaviour of the board list: ticks by click, no editing.
void SetUpBoardList(QListWidget* list);

// Replaces every row by the given rows, in their order (LoadBoardList
// delivers them sorted).
void ShowBoardRows(QListWidget* list, const std::vector<adw::engine::BoardRow>& rows);

// Puts one row at its sorted place, replacing the row of the same file;
// returns the new row's item.
QListWidgetItem* PlaceBoardRow(QListWidget* list, const adw::engine::BoardRow& row);

// Hides the rows whose names do not hold every word of the filter.
void ApplyBoardFilter(QListWidget* list, const QString& filter);

// Every row with its name and tick state, in list order.
std::vector<adw::engine::BoardRow> BoardRowsOf(const QListWidget* list);

// Gives the rows of files that were listed before the ticks they had then.
void KeepBoardTicks(QListWidget* list, const std::vector<adw::engine::BoardRow>& before);

// Applies one of the engine's tick rules (TickAll, UntickAll, InvertTicks)
// to the rows the list shows (every row when no filter hides any).
void ChangeBoardTicks(QListWidget* list, void (*rule)(std::vector<adw::engine::BoardRow>&));

}  // namespace adw::ui
