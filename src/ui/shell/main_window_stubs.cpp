// Handlers of the main window whose work belongs to the board base, the ad
// editor, the posting run, the reports and the wizard. Each is replaced
// here, one by one, as its part of the window is written.

#include "ui/shell/main_window.h"

namespace adw::ui {}  // namespace adw::ui
