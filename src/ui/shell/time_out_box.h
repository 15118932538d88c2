#pragma once
// The configuration panel's time-out box (edTimeOut) and what the window
// does with a stored time-out it cannot take.
#include <QString>

class QLineEdit;

namespace adw::ui {

class TfrmMain;

// Keeps the digits of the masked box together: a digit cleared from the
// middle closes the gap, so the box never holds "1 3", which no reader
// would take as a number.
void SetUpTimeOutBox(QLineEdit* box);

// After the storage restored the boxes: a stored time-out that is refused
// leaves the box at its design value 20, which the workers use as well, and
// the status bar names the key and its value. Returns that status text
// (empty when the stored value is fine).
QString CheckRestoredTimeOut(TfrmMain& window);

}  // namespace adw::ui
