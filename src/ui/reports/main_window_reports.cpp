// The report panel's handlers: "Просмотр" joins the current ad's result
// pages into report.htm and has the shell open it, "Очистить" deletes them.
// The current ad is RxMD's current record, shared by RxDBLProject and the
// ad grid.
#include <QLineEdit>
#include <stdexcept>

#include "engine/journal/report_history.h"
#include "engine/reports/report_page.h"
#include "platform/shell.h"
#include "ui/posting/journal_controller.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

namespace adw::ui {

namespace {

// Passes the report on to the shell and remembers whether a program could
// be started for it.
class OpeningShell : public adw::platform::IShell {
 public:
  void Open(std::string_view target) override { opened = adw::platform::Shell().TryOpen(target); }
  void SetClipboardText(std::string_view cp1251) override { adw::platform::Shell().SetClipboardText(cp1251); }
  bool opened = false;
};

QString CurrentAdName(const adw::engine::RecordSet& ads) {
  return ToQ(ads.CurrentValue("NAME"));
}

}  // namespace

void TfrmMain::btnViewRepClick() {
  Posting().Reports();
  // The journal adds when each result came and the last runs.
  adw::engine::ReportHistory history;
  if (adw::engine::RunJournal* journal = Posting().Journal().Journal()) {
    history = adw::engine::ReportHistoryFor(*journal, adw::engine::CurrentReportDirectory(RxMD));
  }
  OpeningShell shell;
  const adw::engine::ReportOutcome outcome =
      adw::engine::ViewReport(RxMD, FromQ(deScript->text()), shell, &history);
  switch (outcome.status) {
    case adw::engine::ReportOutcome::Status::NoReportDirectory:
      SetStatusText(ToQ(outcome.hint));
      break;
    case adw::engine::ReportOutcome::Status::WriteFailed:
      // As an I/O error of the runtime: a message, and nothing is opened.
      throw std::runtime_error(outcome.hint);
    case adw::engine::ReportOutcome::Status::Written:
      // Without a browser the report is still there; say where.
      SetStatusText(shell.opened ? QString()
                                 : QStringLiteral("Не удалось запустить браузер; отчет сохранен в %1")
                                       .arg(ToQ(outcome.reportPath)));
      break;
    case adw::engine::ReportOutcome::Status::NoPages:
      SetStatusText(
          QStringLiteral("Отчета нет: у объявления «%1» нет страниц результатов").arg(CurrentAdName(RxMD)));
      break;
    case adw::engine::ReportOutcome::Status::NoRecord:
      SetStatusText(QStringLiteral("Нет объявлений для отчета"));
      break;
  }
}

void TfrmMain::btnEmptyClick() {
  Posting().Reports();
  if (RxMD.IsEmpty()) return;
  if (!Confirm(QStringLiteral("Удалить страницы результатов объявления «%1»?").arg(CurrentAdName(RxMD)),
               QStringLiteral("Удалить"), QStringLiteral("Не удалять")))
    return;
  const adw::engine::ClearOutcome outcome = adw::engine::ClearReport(RxMD);
  if (!outcome.hint.empty()) SetStatusText(ToQ(outcome.hint));
}

}  // namespace adw::ui
