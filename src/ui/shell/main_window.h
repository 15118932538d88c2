#pragma once
// frmMain: the program's one main window. A toolbar at the top, a one-line
// status bar at the bottom and between them a stack of full-size panels of
// which one is in front. The handlers keep the names the users' manual and
// the rest of the code know them by; the rules they follow live in the
// engine.
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/board_list.h"
#include "engine/base/record_set.h"
#include "ui/platform_qt.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSplitter;
class QStackedWidget;
class QSystemTrayIcon;
class QTableView;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace adw::engine {
class FormStorage;
struct AdForm;
}  // namespace adw::engine

namespace adw::ui {

class TfrmWait;
class TfrmVariab;
class TfrmDownLoad;
class MainFormStorageAdapter;
class PostingController;
class THTMLViewer;
class WizardController;

// Which context of the main window is current.
enum TViewMode : std::uint8_t {
  vmProjects,
  vmEditor,
  vmUpdateProgram,
  vmUpdateBase,
  vmReport,
  vmStatus,
  vmConfig,
  vmWizard,
  vmAbout,
};

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  // The ways the window talks to the user outside its own controls. The
  // program uses message boxes and modal loops; tests replace them so that
  // nothing blocks and every message can be read back.
  struct UserHooks {
    std::function<void(const QString& text)> ShowError;  // message box with the text
    std::function<int(QDialog& dialog)> ExecModal;       // shows a window modally, returns its result
  };
  // Asks a yes-or-no question before something is destroyed or lost; yes
  // and no are the captions of the two answers. True: go ahead. The
  // program asks in a message box; tests answer for the user.
  using ConfirmHook = std::function<bool(const QString& question, const QString& yes, const QString& no)>;
  void SetConfirmHook(ConfirmHook hook) { m_confirm = std::move(hook); }

  // settingsPath: the settings file; empty means the one beside the program.
  explicit TfrmMain(std::string settingsPath = {}, QWidget* parent = nullptr);
  ~TfrmMain() override;

  void SetUserHooks(UserHooks hooks);
  const std::string& SettingsPath() const { return m_settingsPath; }

  // -- state ------------------------------------------------------------
  TViewMode ViewMode() const { return m_viewMode; }
  void SetViewMode(TViewMode mode) { m_viewMode = mode; }
  // Brings one of the panels to the front (the others are hidden).
  void BringToFront(QWidget* panel);
  QWidget* PanelInFront() const;

  // Enables the commands of the four groups: normal, open, save, delete.
  void SetCommandStates(bool normal, bool open, bool save, bool del);
  // The editing state (only Save usable) and the normal state.
  void EnterEditingState() { SetCommandStates(false, false, true, false); }
  void EnterNormalState() { SetCommandStates(true, true, false, true); }

  void HideToTray();
  void RestoreFromTray();
  bool IsTrayActive() const { return m_trayActive; }

  // Set by the posting run while it runs; minimising with "запускать
  // свернув" ticked hides the window to the tray only then.
  bool RunInProgress() const { return m_runInProgress; }
  void SetRunInProgress(bool running) { m_runInProgress = running; }

  void SetStatusText(const QString& text);
  QString StatusText() const;

  // Shows an error's text as the window framework shows an error that
  // leaves a handler: a message box, after which the program carries on.
  void ShowError(const QString& text);
  // Asks before something is destroyed or lost (UserHooks::Confirm).
  bool Confirm(const QString& question, const QString& yes, const QString& no);
  // Runs a handler and shows what it throws; every control's signal goes
  // through here, so no error ever unwinds into the event loop.
  void Guarded(const std::function<void()>& handler);
  // The text shown for a caught error (engine texts are Windows-1251).
  static QString ErrorText(const std::exception_ptr& error);

  // The blocking main-thread call for the posting workers.
  adw::platform::IMainThread& MainThread() { return m_mainThread; }
  // The posting run, the scheduled start and the report list (src/ui/posting).
  PostingController& Posting() { return *m_posting; }

  // -- window events ----------------------------------------------------
  void FormCreate();
  // The start-up load; also rerun by the configuration save.
  void FormShow();
  void FormResize();
  void FormDestroy();

  // -- commands of the toolbar and the menu bar -------------------------
  void mmUpdateProgramClick();
  void mmUpdateBaseClick();
  void mmExitClick();
  void mmRedoNewClick();
  void mmRedoOpenClick();
  void mmRedoSaveClick();
  void mmRedoDelClick();
  void mmRedoSelAllClick();
  void mmRedoUnSelAllClick();
  void mmRedoInvertClick();
  void mmRedoSelAllAdsClick();
  void mmRedoUnSelAllAdsClick();
  // The editor's "Отмена" and Esc: back to the projects, asking first when
  // something typed would be lost.
  void btnRedoCancelClick();
  // The board list's filter box: shows only the boards whose names hold
  // every word typed.
  void edFilterChange();
  // The edit of an ad holds something not saved yet.
  bool HasUnsavedAd();
  void mmViewReportClick();
  void mmViewStatusClick();
  void mmViewProjectsClick();
  void mmOptionConfigClick();
  void mmOptionAddDOClick();
  void mmHelpOnlineClick();
  void mmHelpAboutClick();
  void lbURLClick();
  void lbEMailClick();

  // -- hooks of the other parts of the window ---------------------------
  void LoadBoardList();
  void LoadVariables();
  void LoadAds();
  void SaveVariables();
  // The editor's branch of Save.
  void SaveEditedAd();
  // The configuration's branch of Save: settings, variables, reload.
  void SaveConfiguration();
  void cbCategButtonClick();
  void cbTimeClick();
  void TimerTimer();
  void btnStartClick();
  void btnStopClick();
  void btnViewRepClick();
  void btnEmptyClick();
  void btnNextClick();
  void btnPrevClick();
  void btnCancelClick();
  // The add-board wizard's other handlers and its state (src/ui/wizard).
  void HTMLViewerFormSubmit(const std::string& action, const std::string& method,
                            std::vector<std::string> results);
  void edProjNameChange();
  // onMark: the press was on the node's state mark (bind or unbind);
  // otherwise on its text (choose a category, also for a bound node).
  void tvTreeMouseDown(QTreeWidgetItem* node, bool onMark = true);
  void tvTreeChanging(QTreeWidgetItem* node);
  void HttpDocData();
  void HttpDocEnd();
  void pmSaveFileClick();
  void pmSaveEMailClick();
  WizardController& Wizard() { return *m_wizard; }
  // A board the wizard has just stored shows in the board list at once,
  // selected, when the list is of the directory it went to.
  void ShowSavedBoard(const std::string& fileName);

  // -- settings file -----------------------------------------------------
  // The stored control values are restored once, when the window is first
  // shown; they are saved at every close and, failing that, at destruction.
  void RestoreStoredValues();
  void SaveStoredValues();
  // The window's place and size, the splitters and the grid columns as the
  // last close left them (or the default size at a first start), and the
  // thread count the configuration save stored.
  void RestoreLayout();
  void SaveLayout();

  // -- controls ------------------------------------------------------------
  // Toolbar.
  QWidget* pButtons = nullptr;
  QToolButton* sbtnNew = nullptr;
  QToolButton* sbtnOpen = nullptr;
  QToolButton* sbtnDel = nullptr;
  QToolButton* sbtnSave = nullptr;
  QToolButton* sbtnProjects = nullptr;
  QToolButton* sbtnStatus = nullptr;
  QToolButton* sbtnReports = nullptr;
  QToolButton* sbtnConfig = nullptr;
  QToolButton* sbtnURL = nullptr;
  QToolButton* sbtnHelp = nullptr;

  // Menu bar.
  QMenu* mmFile = nullptr;
  QAction* mmUpdateProgram = nullptr;
  QAction* mmUpdateBase = nullptr;
  QAction* mmExit = nullptr;
  QAction* mmRetryFailed = nullptr;  // "Повторить неудачные"
  QAction* mmCheckBoards = nullptr;  // "Проверить доски"
  QMenu* mmRedo = nullptr;
  QAction* mmRedoNew = nullptr;
  QAction* mmRedoOpen = nullptr;
  QAction* mmRedoSave = nullptr;
  QAction* mmRedoDel = nullptr;
  QAction* mmRedoSelAll = nullptr;
  QAction* mmRedoUnSelAll = nullptr;
  QAction* mmRedoInvert = nullptr;
  QAction* mmRedoSelAllAds = nullptr;
  QAction* mmRedoUnSelAllAds = nullptr;
  QMenu* mmView = nullptr;
  QAction* mmViewReport = nullptr;
  QAction* mmViewStatus = nullptr;
  QAction* mmViewProjects = nullptr;
  QAction* mmViewBoardStats = nullptr;  // the board list's statistics column
  QMenu* mmOption = nullptr;
  QMenu* mmLanguages = nullptr;
  QAction* mmLangRussian = nullptr;
  QAction* mmLangEnglish = nullptr;
  QAction* mmOptionConfig = nullptr;
  QAction* mmOptionAddDO = nullptr;
  QMenu* mmHelp = nullptr;
  QAction* mmHelpOnline = nullptr;
  QAction* mmHelpAbout = nullptr;

  QLabel* sbMain = nullptr;  // the status bar's one text panel
  QStackedWidget* pPanels = nullptr;

  // pTree: board list and ad list.
  QWidget* pTree = nullptr;
  QSplitter* spTree = nullptr;
  QLineEdit* edFilter = nullptr;
  QListWidget* CLBMain = nullptr;
  QPushButton* btnSelAll = nullptr;
  QPushButton* btnUnSelAll = nullptr;
  QPushButton* btnInvert = nullptr;
  QTableView* DBGridMessage = nullptr;

  // pRedo: the ad editor.
  QWidget* pRedo = nullptr;
  QLineEdit* EdTema = nullptr;
  QLineEdit* cbCateg = nullptr;
  QToolButton* cbCategButton = nullptr;
  QLineEdit* deRepCat = nullptr;
  QToolButton* deRepCatButton = nullptr;
  QTableView* DBGridFields = nullptr;
  QPushButton* btnRedoCancel = nullptr;

  // pViewResult: reports.
  QWidget* pViewResult = nullptr;
  QListView* RxDBLProject = nullptr;
  QPushButton* btnViewRep = nullptr;
  QPushButton* btnEmpty = nullptr;

  // pViewStat: the run status.
  QWidget* pViewStat = nullptr;
  QLabel* lbMessageCnt = nullptr;
  QLabel* lbProcessCnt = nullptr;
  QLabel* lbSuccessMsg = nullptr;
  QLabel* lbFailMsg = nullptr;
  QLabel* lbUnconfirmedMsg = nullptr;  // replies that did not confirm the posting
  QLabel* lbCurrentMsg = nullptr;
  QProgressBar* pbStat = nullptr;
  QLabel* lbProg = nullptr;
  QPushButton* btnStart = nullptr;
  QPushButton* btnStop = nullptr;
  // The run journal's commands: post the last run's failures again, and
  // post past the duplicate guard.
  QPushButton* btnRetry = nullptr;
  QCheckBox* cbForce = nullptr;

  // pNSTR: the configuration.
  QWidget* pNSTR = nullptr;
  QLineEdit* edSiteURL = nullptr;
  QLineEdit* deScript = nullptr;
  QToolButton* deScriptButton = nullptr;
  QCheckBox* cbState = nullptr;
  QSpinBox* RxSEdPost = nullptr;
  QCheckBox* cbTime = nullptr;
  QDateEdit* edData = nullptr;
  QLineEdit* medTime = nullptr;
  QLineEdit* EdProxy = nullptr;
  QLineEdit* EdProxyPort = nullptr;
  QLineEdit* edTimeOut = nullptr;
  QLineEdit* edCAFile = nullptr;  // extra CA file for https (edCAFile_Text)
  QCheckBox* cbUseProxy = nullptr;
  QCheckBox* cbUpDate = nullptr;
  QCheckBox* cbLogFile = nullptr;
  QSpinBox* RxSEdDays = nullptr;
  QSpinBox* RxSEdHostLimit = nullptr;  // requests at once to one server
  QCheckBox* cbReports = nullptr;
  // "не повторять ранее, чем через N дней" (0: off).
  QSpinBox* RxSEdRepeatDays = nullptr;
  QCheckBox* cbTemplate = nullptr;
  QTableView* DBGridTemplate = nullptr;

  // pAddDO: the add-board wizard.
  QWidget* pAddDO = nullptr;
  QStackedWidget* nbAddDO = nullptr;
  QComboBox* cbURL = nullptr;
  QSpinBox* rseFormNumber = nullptr;
  QLineEdit* edProjName = nullptr;
  QComboBox* cbCodePage = nullptr;
  QLineEdit* fedProject = nullptr;
  QToolButton* fedProjectButton = nullptr;
  QSplitter* spHTMLView = nullptr;
  QTreeWidget* tvTree = nullptr;
  THTMLViewer* HTMLViewer = nullptr;
  QPlainTextEdit* memPreview = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnPrev = nullptr;
  QPushButton* btnNext = nullptr;
  // A form submission was captured on the wizard's HTMLView page.
  bool HasCapture = false;

  // pHelpAbout: about the program.
  QWidget* pHelpAbout = nullptr;
  QLabel* lbBuild = nullptr;
  QLabel* lbURL = nullptr;
  QLabel* lbEMail = nullptr;
  QLabel* lbPhone = nullptr;

  // Tray icon and its menu.
  QSystemTrayIcon* RxTray = nullptr;
  QMenu* pmTray = nullptr;
  QAction* pmTrayRestore = nullptr;
  QAction* pmTrayReport = nullptr;
  QAction* pmTrayExit = nullptr;
  // Frame of the tray animation now shown.
  int TrayFrame() const { return m_trayFrame; }
  static int TrayFrameCount();

  // -- board base and ads (src/ui/base) -----------------------------------
  // The ads, the variables and the fields of the ad being edited; the grids
  // show them through record set models.
  adw::engine::RecordSet RxMD = adw::engine::MakeAdsRecordSet();
  adw::engine::RecordSet RxMDTemp = adw::engine::MakeVariablesRecordSet();
  adw::engine::RecordSet RxMDFields = adw::engine::MakeFieldsRecordSet();
  // The category chooser; made with the grids' models at the first load.
  TfrmVariab* frmVariab = nullptr;

  TfrmWait* frmWait() const;  // null once the start-up load has closed it
  TfrmDownLoad* frmDownLoad() const { return m_frmDownLoad; }

  // Whether hiding to the tray may hide the window: without a tray there
  // would be nothing left to bring it back, so then it is only minimised.
  void SetTrayAvailable(bool available) { m_trayAvailable = available; }

 signals:
  // The window closed for good (the program ends after it).
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Panel builders, one file each.
  QWidget* BuildProjectsPanel();
  QWidget* BuildEditorPanel();
  QWidget* BuildReportsPanel();
  QWidget* BuildStatusPanel();
  QWidget* BuildConfigPanel();
  QWidget* BuildWizardPanel();
  QWidget* BuildAboutPanel();
  void BuildMenus();
  void BuildToolbar();
  void BuildTray();
  void ConnectCommands();
  void NextTrayFrame();
  void CloseWaitWindow();
  int ExecModal(QDialog& dialog);
  // The questions a close asks (a run going on, an ad not saved); false
  // when the user chose to stay.
  bool CloseQuestionsAnswered();
  // Connects a control's signal to a handler run through Guarded.
  std::function<void()> Handler(void (TfrmMain::*handler)());

  std::string m_settingsPath;
  UserHooks m_hooks;
  ConfirmHook m_confirm;
  TViewMode m_viewMode = vmProjects;
  QtMainThread m_mainThread;
  QPointer<TfrmWait> m_frmWait;
  TfrmDownLoad* m_frmDownLoad = nullptr;

  std::unique_ptr<MainFormStorageAdapter> m_storageAdapter;
  std::unique_ptr<adw::engine::FormStorage> fsMain;
  bool m_firstShowDone = false;
  bool m_storageRestored = false;
  bool m_storageSaved = false;

  bool m_trayActive = false;
  bool m_trayAvailable = true;
  bool m_runInProgress = false;
  QTimer* m_trayAnimation = nullptr;
  int m_trayFrame = 0;

  // Models, editor state and variables map of the board base and the ads
  // (src/ui/base/main_window_base.cpp). Declared after the record sets so
  // the models, which listen to them, go first.
  struct BaseParts;
  static void DeleteBaseParts(BaseParts* parts);
  using BasePartsPtr = std::unique_ptr<BaseParts, void (*)(BaseParts*)>;
  BaseParts& Base();
  std::string AdStoreFile() const;
  std::string VariablesMapFile() const;
  void ShowAdForm(const adw::engine::AdForm& form);
  // The ticks of the boards and the ads, kept over the reload that the
  // configuration save runs (the user ticks, then sets the start time).
  struct TickMemory {
    std::string scriptDir;
    std::vector<adw::engine::BoardRow> boards;
    std::vector<std::string> ads;
  };
  TickMemory RememberTicks() const;
  void RestoreTicks(const TickMemory& ticks);
  // The ad editor is left without saving.
  void LeaveEditor();
  BasePartsPtr m_baseParts{nullptr, &TfrmMain::DeleteBaseParts};

  static std::shared_ptr<WizardController> MakeWizard(TfrmMain& window);
  std::shared_ptr<WizardController> m_wizard;

  // Last, so it goes first: the run is shut down while everything else is whole.
  static std::shared_ptr<PostingController> MakePosting(TfrmMain& window);
  std::shared_ptr<PostingController> m_posting = MakePosting(*this);
};

}  // namespace adw::ui
