// Handlers of the main window whose work belongs to the board base, the ad
// editor, the posting run, the reports and the wizard. Each is replaced
// here, one by one, as its part of the window is written.

#include "ui/shell/main_window.h"

namespace adw::ui {

// Start-up load (FormShow) and program end (FormDestroy).
void TfrmMain::LoadBoardList() {}
void TfrmMain::LoadVariables() {}
void TfrmMain::LoadAds() {}
void TfrmMain::SaveVariables() {}

// Ad editor.
void TfrmMain::mmRedoNewClick() {}
void TfrmMain::mmRedoOpenClick() {}
void TfrmMain::mmRedoDelClick() {}
void TfrmMain::SaveEditedAd() {
  // Whatever the save does, it ends on the projects panel.
  BringToFront(pTree);
  SetViewMode(vmProjects);
}
void TfrmMain::cbCategButtonClick() {}

// Board list ticks.
void TfrmMain::mmRedoSelAllClick() {}
void TfrmMain::mmRedoUnSelAllClick() {}
void TfrmMain::mmRedoInvertClick() {}

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
