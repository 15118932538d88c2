#include "ui/shell/time_out_box.h"

#include <QLineEdit>

#include "engine/shell/time_out_setting.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

namespace adw::ui {

void SetUpTimeOutBox(QLineEdit* box) {
  QObject::connect(box, &QLineEdit::textEdited, box, [box] {
    const QString shown = box->displayText();
    QString digits;
    for (const QChar c : shown) {
      if (c.isDigit()) digits.append(c);
    }
    if (shown.trimmed() == digits) return;
    const int cursor = box->cursorPosition();
    int digitsBefore = 0;
    for (int i = 0; i < cursor && i < shown.size(); ++i) {
      if (shown.at(i).isDigit()) ++digitsBefore;
    }
    box->setText(digits);
    box->setCursorPosition(digitsBefore);
  });
}

QString CheckRestoredTimeOut(TfrmMain& window) {
  const auto problem = adw::engine::CheckStoredTimeOut(window.SettingsPath());
  if (!problem) return {};
  window.edTimeOut->setText(QString::number(adw::engine::kDefaultTimeOutSeconds));
  const QString hint = ToQ(adw::engine::TimeOutProblemHint(*problem));
  window.SetStatusText(hint);
  return hint;
}

}  // namespace adw::ui
