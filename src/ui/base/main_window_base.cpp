// The main window's handlers of the board base and the ads: the board list
// with its tick commands, the loads of the start-up, the ad editor's New,
// Open, Save and Delete, and the category box's "…" button. The rules are
// the engine's; these read the boxes, call it and show what it returns.
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/ad_editor.h"
#include "engine/base/ad_store.h"
#include "engine/base/board_list.h"
#include "engine/base/kept_ticks.h"
#include "engine/base/replaced_characters.h"
#include "engine/base/unsaved_ad.h"
#include "engine/base/variables_map.h"
#include "engine/shell/settings_file.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "ui/base/ad_list_view.h"
#include "ui/base/board_list_widget.h"
#include "ui/base/category_chooser.h"
#include "ui/base/record_grid.h"
#include "ui/base/record_set_model.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

namespace adw::ui {

using adw::platform::Trim;

struct TfrmMain::BaseParts {
  std::unique_ptr<RecordSetModel> adsModel;
  std::unique_ptr<RecordSetModel> fieldsModel;
  std::unique_ptr<RecordSetModel> variablesModel;
  adw::engine::VariablesMap variablesMap;
  // The edit between New or Open and the following Save.
  adw::engine::AdEditorState editorState;
  // The editor's boxes and fields as New or Open filled them.
  adw::engine::AdEditSnapshot editSnapshot;
  // The hints this part put into the status bar, so a later success can
  // take back its own hint without wiping anyone else's.
  QString boardHint;
  QString editorHint;
};

namespace {

std::vector<int> ColumnWidths(const QTableView* grid) {
  std::vector<int> widths;
  const int count = grid->model() ? grid->model()->columnCount() : 0;
  for (int c = 0; c < count; ++c) widths.push_back(grid->columnWidth(c));
  return widths;
}

// Gives a grid back its column widths after every rebuild of the set (a
// model reset returns a header to its default widths): first the widths it
// had when the record set model took it over, later those the user left.
void KeepColumnWidths(QTableView* grid, const std::vector<int>& widths) {
  auto kept = std::make_shared<std::vector<int>>(widths);
  const auto apply = [grid, kept] {
    for (std::size_t c = 0; c < kept->size(); ++c) grid->setColumnWidth(static_cast<int>(c), (*kept)[c]);
  };
  apply();
  QObject::connect(grid->model(), &QAbstractItemModel::modelAboutToBeReset, grid,
                   [grid, kept] { *kept = ColumnWidths(grid); });
  QObject::connect(grid->model(), &QAbstractItemModel::modelReset, grid, apply);
}

// The directory of a file path, ending with the separator.
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void SetStatusHint(TfrmMain& window, QString& mine, const QString& hint) {
  if (!hint.isEmpty()) {
    window.SetStatusText(hint);
  } else if (!mine.isEmpty() && window.StatusText() == mine) {
    window.SetStatusText({});
  }
  mine = hint;
}

}  // namespace

void TfrmMain::DeleteBaseParts(BaseParts* parts) {
  delete parts;
}

TfrmMain::BaseParts& TfrmMain::Base() {
  if (m_baseParts) return *m_baseParts;
  m_baseParts = BasePartsPtr(new BaseParts, &TfrmMain::DeleteBaseParts);
  BaseParts& parts = *m_baseParts;

  std::vector<int> widths = ColumnWidths(DBGridMessage);
  parts.adsModel = std::make_unique<RecordSetModel>(
      RxMD, std::vector<RecordSetModel::Column>{{"NAME", QStringLiteral("Наименование проекта")}});
  AttachAdList(DBGridMessage, parts.adsModel.get());
  KeepColumnWidths(DBGridMessage, widths);

  widths = ColumnWidths(DBGridFields);
  parts.fieldsModel = std::make_unique<RecordSetModel>(
      RxMDFields, std::vector<RecordSetModel::Column>{{"DESC", QStringLiteral("Имя поля")}, {"DATA", {}}});
  ShowRecordSet(DBGridFields, parts.fieldsModel.get());
  ApplyValueColumnRule(DBGridFields);
  KeepColumnWidths(DBGridFields, widths);

  widths = ColumnWidths(DBGridTemplate);
  parts.variablesModel = std::make_unique<RecordSetModel>(
      RxMDTemp, std::vector<RecordSetModel::Column>{{"DESC", QStringLiteral("Переменная")},
                                                    {"DATA", QStringLiteral("Значение переменной")}});
  ShowRecordSet(DBGridTemplate, parts.variablesModel.get());
  ApplyValueColumnRule(DBGridTemplate);
  KeepColumnWidths(DBGridTemplate, widths);

  SetUpBoardList(CLBMain);
  // The record keeps only so many characters; a longer subject or
  // directory would be stored cut without a word.
  EdTema->setMaxLength(static_cast<int>(adw::engine::kNameSize));
  // The ad is kept in Windows-1251: a typed character it lacks would turn
  // into "?" unseen.
  connect(parts.fieldsModel.get(), &RecordSetModel::TextReplaced, this,
          [this](const QString& note) { SetStatusText(note); });
  connect(EdTema, &QLineEdit::textEdited, this, [this](const QString& text) {
    std::vector<char32_t> replaced;
    FromQ(text, replaced);
    if (!replaced.empty())
      SetStatusText(QString::fromStdString(adw::engine::ReplacedCharactersNote(replaced)));
  });
  deRepCat->setMaxLength(static_cast<int>(adw::engine::kCatalogSize));

  frmVariab = new TfrmVariab(this);
  FormResize();
  return parts;
}

std::string TfrmMain::AdStoreFile() const {
  // Without a script directory there is no store: the file would land in
  // whatever directory the program happened to be started from.
  const std::string dir = Trim(FromQ(deScript->text()));
  return dir.empty() ? std::string() : adw::engine::AdStorePath(dir);
}

std::string TfrmMain::VariablesMapFile() const {
  const std::string dir = adw::engine::StoredScriptDir(m_settingsPath);
  return Trim(dir) == "/" ? std::string() : adw::engine::VariablesMapPath(dir);
}

// -- start-up load and program end ------------------------------------------

void TfrmMain::LoadBoardList() {
  BaseParts& parts = Base();
  CLBMain->clear();
  const adw::engine::BoardList list = adw::engine::LoadBoardList(FromQ(deScript->text()));
  ShowBoardRows(CLBMain, list.rows);
  ApplyBoardFilter(CLBMain, edFilter->text());
  SetStatusHint(*this, parts.boardHint, ToQ(adw::engine::BoardLoadHint(list.failures)));
}

void TfrmMain::LoadVariables() {
  BaseParts& parts = Base();
  parts.variablesMap.Load(VariablesMapFile(), RxMDTemp);
}

void TfrmMain::LoadAds() {
  Base();
  const std::string store = AdStoreFile();
  if (store.empty()) {
    RxMD.Clear();
  } else {
    adw::engine::LoadAds(store, RxMD);
  }
  FormResize();
}

void TfrmMain::SaveVariables() {
  // Nothing was loaded when the window was never shown.
  if (m_baseParts) m_baseParts->variablesMap.Save(RxMDTemp);
}

void TfrmMain::edFilterChange() {
  ApplyBoardFilter(CLBMain, edFilter->text());
}

void TfrmMain::ShowSavedBoard(const std::string& fileName) {
  // The list shows the directory of the box; a board stored elsewhere
  // turns up there at the next load.
  const std::string listed = Trim(FromQ(deScript->text()));
  const std::string stored = adw::engine::StoredScriptDir(m_settingsPath);
  if (listed.empty() ||
      adw::platform::JoinPath(listed, fileName) != adw::platform::JoinPath(stored, fileName))
    return;
  const adw::engine::BoardRow row = adw::engine::ReadBoardRow(listed, fileName);
  QListWidgetItem* item = PlaceBoardRow(CLBMain, row);
  // A filter that would hide the new board is cleared, so it can be seen.
  if (item->isHidden()) edFilter->clear();
  CLBMain->setCurrentItem(item);
  CLBMain->scrollToItem(item);
}

TfrmMain::TickMemory TfrmMain::RememberTicks() const {
  return {Trim(FromQ(deScript->text())), BoardRowsOf(CLBMain), adw::engine::TickedAdNames(RxMD)};
}

void TfrmMain::RestoreTicks(const TickMemory& ticks) {
  // Ticks of another directory's boards and ads mean nothing here.
  if (Trim(FromQ(deScript->text())) != ticks.scriptDir) return;
  KeepBoardTicks(CLBMain, ticks.boards);
  adw::engine::KeepAdTicks(RxMD, ticks.ads);
  DBGridMessage->viewport()->update();
}

// -- board list ticks -----------------------------------------------------------

void TfrmMain::mmRedoSelAllClick() {
  ChangeBoardTicks(CLBMain, &adw::engine::TickAll);
}

void TfrmMain::mmRedoUnSelAllClick() {
  ChangeBoardTicks(CLBMain, &adw::engine::UntickAll);
}

void TfrmMain::mmRedoInvertClick() {
  ChangeBoardTicks(CLBMain, &adw::engine::InvertTicks);
}

void TfrmMain::mmRedoSelAllAdsClick() {
  adw::engine::SetAdTicks(RxMD, true);
  DBGridMessage->viewport()->update();
}

void TfrmMain::mmRedoUnSelAllAdsClick() {
  adw::engine::SetAdTicks(RxMD, false);
  DBGridMessage->viewport()->update();
}

// -- ad editor --------------------------------------------------------------------

void TfrmMain::ShowAdForm(const adw::engine::AdForm& form) {
  EdTema->setText(ToQ(form.subject));
  cbCateg->setText(ToQ(form.category));
  deRepCat->setText(ToQ(form.reportDir));
  BringToFront(pRedo);
  SetViewMode(vmEditor);
  FormResize();
  EdTema->setFocus();
  Base().editSnapshot = adw::engine::TakeAdEditSnapshot(form, RxMDFields);
}

bool TfrmMain::HasUnsavedAd() {
  if (ViewMode() != vmEditor || !m_baseParts) return false;
  const adw::engine::AdForm now{FromQ(EdTema->text()), FromQ(cbCateg->text()), FromQ(deRepCat->text())};
  return adw::engine::HasUnsavedChanges(m_baseParts->editSnapshot, now, RxMDFields);
}

void TfrmMain::btnRedoCancelClick() {
  if (ViewMode() != vmEditor) return;
  // A cell being typed in counts as typed.
  if (QWidget* editor = DBGridFields->indexWidget(DBGridFields->currentIndex())) editor->clearFocus();
  if (HasUnsavedAd() && !Confirm(QStringLiteral("Изменения объявления не сохранены. Отменить их?"),
                                 QStringLiteral("Отменить изменения"), QStringLiteral("Вернуться к правке")))
    return;
  LeaveEditor();
}

void TfrmMain::LeaveEditor() {
  BaseParts& parts = Base();
  parts.editorState = adw::engine::AdEditorState{};
  SetStatusHint(*this, parts.editorHint, {});
  EnterNormalState();
  BringToFront(pTree);
  SetViewMode(vmProjects);
  FormResize();
}

void TfrmMain::mmRedoNewClick() {
  BaseParts& parts = Base();
  EnterEditingState();
  ShowAdForm(adw::engine::NewAd(parts.editorState, RxMDTemp, RxMDFields, cbTemplate->isChecked(),
                                DirectoryOf(m_settingsPath)));
}

void TfrmMain::mmRedoOpenClick() {
  BaseParts& parts = Base();
  if (RxMD.IsEmpty()) return;
  EnterEditingState();
  try {
    const auto form =
        adw::engine::OpenAd(parts.editorState, RxMD, RxMDFields, AdStoreFile(), VariablesMapFile());
    if (form) ShowAdForm(*form);
  } catch (...) {
    EnterNormalState();
    throw;
  }
}

void TfrmMain::SaveEditedAd() {
  BaseParts& parts = Base();
  const adw::engine::AdForm form{FromQ(EdTema->text()), FromQ(cbCateg->text()), FromQ(deRepCat->text())};
  adw::engine::SaveAdResult result;
  try {
    result = adw::engine::SaveAd(parts.editorState, form, RxMD, RxMDFields, AdStoreFile());
  } catch (...) {
    // A refused write changed nothing; the edit stays open so the user can
    // save again once the store can be written, instead of losing it.
    EnterEditingState();
    throw;
  }
  if (result.outcome == adw::engine::SaveAdOutcome::Refused) {
    EnterEditingState();
    SetStatusHint(*this, parts.editorHint, ToQ(result.hint));
    EdTema->setFocus();
    return;
  }
  SetStatusHint(*this, parts.editorHint, {});
  BringToFront(pTree);
  SetViewMode(vmProjects);
  FormResize();
  DBGridMessage->viewport()->update();
}

void TfrmMain::mmRedoDelClick() {
  Base();
  if (RxMD.IsEmpty()) return;
  const QString name = ToQ(RxMD.CurrentValue("NAME"));
  if (!Confirm(QStringLiteral("Удалить объявление «%1»?").arg(name), QStringLiteral("Удалить"),
               QStringLiteral("Не удалять")))
    return;
  if (adw::engine::DeleteAd(RxMD, AdStoreFile())) DBGridMessage->viewport()->update();
}

void TfrmMain::cbCategButtonClick() {
  BaseParts& parts = Base();
  const auto choice = ChooseCategory(frmVariab, cbCateg, VariablesMapFile(),
                                     [this](QDialog& dialog) { return ExecModal(dialog); });
  if (choice) cbCateg->setText(ToQ(adw::engine::ConfirmCategory(parts.editorState, *choice)));
}

}  // namespace adw::ui
