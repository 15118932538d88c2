#pragma once
// Board statistics in the board list CLBMain: a tooltip per board, boards
// that failed their last three runs marked in red, and a column of short
// figures drawn at the right of each row when it is switched on.
#include <QtCore/qnamespace.h>

#include <vector>

#include "engine/journal/board_stats.h"

class QListWidget;

namespace adw::ui {

// The role holding a row's column text (the next one is taken too).
inline constexpr int kBoardStatsRole = Qt::UserRole + 20;

// Puts the statistics on the rows whose board they name, after the row's
// own tooltip; rows without any lose what an earlier call put there.
void ShowBoardStats(QListWidget* list, const std::vector<adw::engine::BoardStats>& stats);

// Shows or hides the figures column (the tooltips stay either way).
void SetBoardStatsColumnVisible(QListWidget* list, bool visible);
bool BoardStatsColumnVisible(const QListWidget* list);

}  // namespace adw::ui
