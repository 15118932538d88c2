#include "ui/posting/result_write_notice.h"

#include <QObject>

#include "engine/posting/result_write_failures.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

namespace adw::ui {

namespace {

// The run's count, kept with the window it belongs to.
class NoticeState : public QObject {
 public:
  explicit NoticeState(QObject* parent) : QObject(parent) { setObjectName(kName); }
  static constexpr const char* kName = "adwResultWriteNotice";
  std::size_t count = 0;
  adw::engine::ResultWriteFailure last;
};

NoticeState& StateOf(TfrmMain& window) {
  for (QObject* child : window.children()) {
    if (child->objectName() == QLatin1String(NoticeState::kName)) {
      if (auto* state = dynamic_cast<NoticeState*>(child)) return *state;
    }
  }
  return *new NoticeState(&window);
}

}  // namespace

void ShowResultWriteNotice(TfrmMain& window) {
  NoticeState& state = StateOf(window);
  const adw::engine::ResultWriteFailures taken = adw::engine::TakeResultWriteFailures();
  if (!taken.kept.empty()) state.last = taken.kept.back();
  state.count += taken.Count();
  if (state.count == 0) return;
  window.SetStatusText(ToQ(adw::engine::ResultWriteFailureHint(state.count, state.last)));
}

void EndResultWriteNotice(TfrmMain& window) {
  ShowResultWriteNotice(window);
  StateOf(window).count = 0;
}

}  // namespace adw::ui
