#pragma once
// The status bar's word about result pages and log entries a run could not
// write. Once a run has had such a failure, the notice stands over the page
// paths that later reports show, with the count so far, until the run ends.

namespace adw::ui {

class TfrmMain;

// After each report: takes the notes of failed writes and shows the notice
// when the run has had any.
void ShowResultWriteNotice(TfrmMain& window);
// At the run's end: shows the notice one last time (writes may end after
// the last report) and starts the next run's count from zero.
void EndResultWriteNotice(TfrmMain& window);

}  // namespace adw::ui
