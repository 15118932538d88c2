// Handlers of the main window whose work belongs to the board base, the ad
// editor, the posting run, the reports and the wizard. Each is replaced
// here, one by one, as its part of the window is written.

#include "ui/shell/main_window.h"

namespace adw::ui {

// Posting run and scheduled start.
void TfrmMain::btnStartClick() {}
void TfrmMain::btnStopClick() {}
void TfrmMain::cbTimeClick() {}

// Reports.
void TfrmMain::btnViewRepClick() {}
void TfrmMain::btnEmptyClick() {}

// Wizard.
void TfrmMain::btnNextClick() {}
void TfrmMain::btnPrevClick() {}
void TfrmMain::btnCancelClick() {}

}  // namespace adw::ui
