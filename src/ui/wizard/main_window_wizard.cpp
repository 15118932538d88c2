// The add-board wizard's handlers of the main window: the pages and their
// buttons, the page fetch's progress, the field tree's binding, the capture
// of the form submission, the Preview text and the export of the new board.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>

#include "engine/posting/fresh_form.h"
#include "engine/shell/settings_file.h"
#include "engine/wizard/board_export.h"
#include "engine/wizard/board_text.h"
#include "engine/wizard/submit_capture.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text1251.h"
#include "ui/base/category_chooser.h"
#include "ui/shell/main_window.h"
#include "ui/shell/product_info.h"
#include "ui/text_convert.h"
#include "ui/wizard/html_viewer.h"
#include "ui/wizard/wizard_controller.h"

namespace adw::ui {

namespace {

constexpr int kGeneralPage = 0;
constexpr int kHtmlViewPage = 1;
constexpr int kPreviewPage = 2;

bool IsBlank(const QString& text) {
  return adw::platform::Trim(FromQ(text)).empty();
}

}  // namespace

std::shared_ptr<WizardController> TfrmMain::MakeWizard(TfrmMain& window) {
  return std::make_shared<WizardController>(window);
}

void TfrmMain::btnNextClick() {
  WizardController& wizard = Wizard();
  SetStatusText(QString());
  if (IsBlank(edProjName->text()) || IsBlank(fedProject->text())) {
    SetStatusText(QStringLiteral("Введите наименование доски объявления или имя файла ..."));
    return;
  }
  const int page = nbAddDO->currentIndex();
  if (page == kHtmlViewPage && !HasCapture) {
    SetStatusText(QStringLiteral("Нажмите кнопку Submit ..."));
    return;
  }
  if (page == kPreviewPage && wizard.NextMode == 0) {
    wizard.PopUpSaveMenu();
    wizard.NextMode = 1;
  }
  if (page < kPreviewPage) nbAddDO->setCurrentIndex(page + 1);
  const int now = nbAddDO->currentIndex();
  if (now == kHtmlViewPage) wizard.StartPageFetch();
  if (now == kPreviewPage && wizard.NextMode == 0) {
    adw::engine::TPreviewSource source;
    source.boardName = FromQ(edProjName->text());
    source.capturedSubmitURL = wizard.CapturedSubmitURL;
    source.capturedBody = wizard.CapturedBody;
    source.capturedPageURL = wizard.CapturedPageURL;
    source.codePage = adw::engine::CodePageText(cbCodePage->currentIndex());
    source.okSuggestion = wizard.OkSuggestion;
    source.fresh = wizard.PageSetCookie ||
                   adw::engine::CapturedFormHasHiddenFields(wizard.FetchedPage(), wizard.CapturedPageURL,
                                                            wizard.CapturedSubmitURL, wizard.CapturedBody);
    source.bindingLines = wizard.FieldTree.BindingLines();
    source.currentLinkURL = HTMLViewer->CurrentLinkURL();
    source.documentBase = HTMLViewer->DocumentBase();
    source.documentBaseTarget = HTMLViewer->DocumentBaseTarget();
    QStringList lines;
    for (const std::string& line : adw::engine::ComposePreviewLines(source)) lines << ToQ(line);
    memPreview->setPlainText(lines.join(QLatin1Char('\n')));
    btnNext->setText(QStringLiteral("Сохранить"));
  }
}

void TfrmMain::btnPrevClick() {
  const int page = nbAddDO->currentIndex();
  if (page == kPreviewPage) {
    btnNext->setText(QStringLiteral("След. >>"));
    Wizard().NextMode = 0;
  }
  if (page > kGeneralPage) nbAddDO->setCurrentIndex(page - 1);
}

void TfrmMain::btnCancelClick() {
  // Leaving the wizard leaves its pages as they are for the next visit; a
  // fetch still running is not wanted any more.
  Wizard().Http.Abort();
  mmViewProjectsClick();
}

void TfrmMain::HttpDocData() {
  SetStatusText(QStringLiteral("Bytes received : %1").arg(Wizard().Http.ReplyByteCount()));
}

void TfrmMain::HttpDocEnd() {
  SetStatusText(QString());
}

void TfrmMain::HTMLViewerFormSubmit(const std::string& action, const std::string&,
                                    std::vector<std::string> results) {
  WizardController& wizard = Wizard();
  const adw::engine::TCapturedSubmission capture = adw::engine::CaptureSubmission(
      FromQ(cbURL->currentText()), HTMLViewer->DocumentBase(), action, results);
  wizard.CapturedBody = capture.body;
  wizard.CapturedSubmitURL = capture.submitURL;
  wizard.CapturedPageURL = capture.pageURL;
  HasCapture = true;
}

void TfrmMain::edProjNameChange() {
  fedProject->setText(edProjName->text() + QStringLiteral(".prj"));
}

void TfrmMain::tvTreeChanging(QTreeWidgetItem* node) {
  if (!node) return;
  WizardController& wizard = Wizard();
  const std::size_t index = WizardController::NodeOf(node);
  if (index < wizard.FieldTree.Nodes().size()) SetStatusText(ToQ(wizard.FieldTree.StatusText(index)));
}

void TfrmMain::tvTreeMouseDown(QTreeWidgetItem* node, bool onMark) {
  WizardController& wizard = Wizard();
  const std::size_t index = WizardController::NodeOf(node);
  if (index >= wizard.FieldTree.Nodes().size()) return;
  tvTree->setCurrentItem(node);
  const std::string mapPath = VariablesMapFile();
  const auto choose = [&]() -> std::optional<adw::engine::ChosenCategory> {
    TfrmVariab* chooser = wizard.Chooser();
    const QRect at = tvTree->visualItemRect(node);
    chooser->move(tvTree->viewport()->mapToGlobal(at.bottomLeft()));
    return ChooseCategory(chooser, nullptr, mapPath, [this](QDialog& dialog) { return ExecModal(dialog); });
  };
  const bool bound = wizard.FieldTree.Nodes()[index].stateIndex == adw::engine::kMarkBound;
  if (!onMark && bound) {
    if (const auto choice = choose()) wizard.FieldTree.Bind(index, *choice);
  } else {
    wizard.FieldTree.ClickStateMark(index, choose);
  }
  wizard.ShowMarks();
}

void TfrmMain::pmSaveFileClick() {
  const std::string name = FromQ(fedProject->text());
  adw::engine::ExportBoardFile(adw::engine::PreviewTextLines(FromQ(memPreview->toPlainText())),
                               adw::engine::StoredScriptDir(m_settingsPath), name,
                               adw::platform::TempDirectory());
  ShowSavedBoard(name);
}

void TfrmMain::pmSaveEMailClick() {
  adw::platform::Shell().SetClipboardText(FromQ(memPreview->toPlainText()));
  adw::platform::Shell().Open(FromQ(QStringLiteral("mailto:") + kBoardSubmissionEMail +
                                    QStringLiteral("?subject=New message board&body=Нажмите Shift+Ins")));
}

}  // namespace adw::ui
