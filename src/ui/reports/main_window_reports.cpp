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

void TfrmMain::btnViewRepClick() {
  Posting().Reports();
  // The journal adds when each result came and the last runs.
  adw::engine::ReportHistory history;
  if (adw::engine::RunJournal* journal = Posting().Journal().Journal()) {
    history = adw::engine::ReportHistoryFor(*journal, adw::engine::CurrentReportDirectory(RxMD));
  }
  const adw::engine::ReportOutcome outcome =
      adw::engine::ViewReport(RxMD, FromQ(deScript->text()), adw::platform::Shell(), &history);
  switch (outcome.status) {
    case adw::engine::ReportOutcome::Status::NoReportDirectory:
      SetStatusText(ToQ(outcome.hint));
      break;
    case adw::engine::ReportOutcome::Status::WriteFailed:
      // As an I/O error of the runtime: a message, and nothing is opened.
      throw std::runtime_error(outcome.hint);
    case adw::engine::ReportOutcome::Status::Written:
    case adw::engine::ReportOutcome::Status::NoPages:
    case adw::engine::ReportOutcome::Status::NoRecord:
      break;
  }
}

void TfrmMain::btnEmptyClick() {
  Posting().Reports();
  const adw::engine::ClearOutcome outcome = adw::engine::ClearReport(RxMD);
  if (!outcome.hint.empty()) SetStatusText(ToQ(outcome.hint));
}

}  // namespace adw::ui
