#pragma once
// What the add-board wizard keeps across visits of its panel pAddDO: the
// page fetch client with the fetched page, the field tree, the captured
// submission, the Next mode and the save menu pmSave. The handlers stay on
// TfrmMain (main_window_wizard.cpp); this object holds what they share and
// ties the wizard's controls to them.
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/wizard/fetch/http_cli.h"
#include "engine/wizard/field_tree.h"

class QAction;
class QMenu;
class QTreeWidgetItem;

namespace adw::ui {

class TfrmMain;
class TfrmVariab;

class WizardController : public QObject {
  Q_OBJECT

 public:
  // Made once the wizard's panel is built; ties its controls to the
  // window's handlers.
  explicit WizardController(TfrmMain& window);
  ~WizardController() override;

  // The page fetch client ("Http") and the reply body of the last fetch.
  adw::engine::THttpCli Http;
  const std::string& FetchedPage() const { return *m_page; }
  // Fetches the URL box's page; the viewer and the field tree show it when
  // it has come (or show an empty page when the fetch failed).
  void StartPageFetch();
  // A fetch was started and has not been shown yet.
  bool Fetching() const { return m_fetching; }
  // Above 0: the fetch's time limit in ms in place of the settings file's
  // whole seconds (tests of time-outs need not wait seconds).
  int FetchTimeOutMs = 0;

  adw::engine::TFieldTree FieldTree;
  // Fills tvTree from FieldTree, every node with its state mark.
  void ShowFieldTree();
  void ShowMarks();
  // The node of the tree that a tree item stands for.
  static std::size_t NodeOf(const QTreeWidgetItem* item);

  // What the last shown page tells the Preview: a guess at the board's OK
  // text (empty when none) and whether the page set a cookie.
  std::string OkSuggestion;
  bool PageSetCookie = false;

  // The captured submission.
  std::string CapturedSubmitURL;
  std::string CapturedBody;
  std::string CapturedPageURL;

  // 1 once the save menu was shown on the Preview page, which makes Next
  // inert until Prev.
  int NextMode = 0;

  QMenu* pmSave = nullptr;
  QAction* mmSaveFTP = nullptr;
  QAction* pmSaveEMail = nullptr;
  QAction* pmSaveFile = nullptr;
  // Pops pmSave up at the Next button and returns when it has closed; from
  // then on it is also the button's context menu.
  void PopUpSaveMenu();
  // Shows a popup menu modally at a screen point (tests answer it).
  std::function<void(QMenu& menu, QPoint at)> PopupMenu;

  // The category chooser for binding: the window's, or one of our own
  // while the window has not made its own yet.
  TfrmVariab* Chooser();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FetchDone(std::uint64_t fetch, const adw::engine::HttpCliError* failure);
  void ShowPage(const std::string& bytes);
  void ShowPageText(const std::string& text);
  void ShowFailure(const adw::engine::HttpCliError& failure);

  TfrmMain& m_window;
  std::unique_ptr<std::string> m_page = std::make_unique<std::string>();
  std::uint64_t m_fetch = 0;  // which fetch is the one to show
  bool m_fetching = false;
  int m_foundCodePage = -1;  // the code page box's entry the page named
  bool m_saveMenuIsContext = false;
  QIcon m_marks[3];
  TfrmVariab* m_chooser = nullptr;
};

}  // namespace adw::ui
