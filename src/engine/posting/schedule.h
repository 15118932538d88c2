#pragma once
// The scheduled start: the one-minute timer's decision, kept apart from the
// timer and the check box so it can be judged for any date box, time text
// and moment.
#include <optional>
#include <string>
#include <string_view>

#include "engine/base/short_date.h"

namespace adw::engine {

// Reads the time box: H[:MM[:SS]] with one or two digits per part, blanks
// (or the mask's "_") around the parts allowed; nullopt for anything else.
std::optional<TimeOfDay> ParseTimeText(std::string_view text);

// The message of a time box that is not a time: "'<text>' is not a valid time".
std::string InvalidTimeMessage(std::string_view text);

struct ScheduleDecision {
  enum class Action {
    Wait,      // not yet (or never, for a past date): the timer keeps ticking
    Start,     // start the run, disarm the timer, uncheck the box
    Postpone,  // the moment has come but a run is active: keep ticking and retry
    Error,     // the time box is not a time: show message, keep ticking
  };
  Action action = Action::Wait;
  std::string message;  // Error: the conversion message; Postpone: the status bar hint
};

// TimerTimer's check. runActive: a posting run is going on, in which case a
// due start is postponed to a later tick instead of being started on top of
// it (the user still gets the run they asked for once the current one ends).
ScheduleDecision CheckScheduledStart(Date dateBox, std::string_view timeText, const LocalDateTime& now,
                                     bool runActive = false);

// cbTimeClick: the timer runs exactly while the box is checked.
inline bool TimerEnabledFor(bool cbTimeChecked) {
  return cbTimeChecked;
}

}  // namespace adw::engine
