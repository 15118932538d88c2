#pragma once
// The main window's side of a posting run: the worker pool it drives, the
// status panel the pool's display lands on, the one-minute timer of the
// scheduled start and the report panel's ad list. The handlers that use it
// (btnStartClick, btnStopClick, cbTimeClick, TimerTimer, btnViewRepClick,
// btnEmptyClick) stay on TfrmMain; this object holds what they share.
//
// Everything here runs on the main thread. The pool's workers reach it only
// through the window's blocking main-thread call.
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "engine/base/short_date.h"
#include "engine/posting/job_list.h"
#include "engine/posting/worker_pool.h"

namespace adw::ui {

class TfrmMain;
class ReportList;
class JournalController;

class PostingController : public QObject, public adw::engine::IPostingObserver {
  Q_OBJECT

 public:
  // Made while the window is still being built: it touches no control
  // before the window is first shown or a handler calls it.
  explicit PostingController(TfrmMain& window);
  ~PostingController() override;

  adw::engine::PostingPool& Pool() { return *m_pool; }
  // A job list is being built or a run is going on; a further start, by
  // the button or by the schedule, is refused then.
  bool IsBusy() const { return m_building || m_pool->IsActive(); }
  bool IsBuilding() const { return m_building; }
  void SetBuilding(bool building) { m_building = building; }
  // The window was closed: a build in progress gives up.
  bool IsClosing() const { return m_closing; }

  // The scheduled start's one-minute timer ("Timer").
  QTimer& Timer() { return m_timer; }
  // The clock the scheduled start compares with; tests give their own.
  void SetClock(std::function<adw::engine::LocalDateTime()> clock) { m_clock = std::move(clock); }
  adw::engine::LocalDateTime Now() const { return m_clock(); }

  // What happens when the companion library cannot be loaded: by default
  // the program quits once control is back in its event loop.
  void SetTerminateHook(std::function<void()> hook) { m_terminate = std::move(hook); }
  // Where the companion library is loaded from; empty: beside the program.
  void SetCompanionPath(std::string path) { m_companionPath = std::move(path); }
  const std::string& CompanionPath() const { return m_companionPath; }
  // How workers post their jobs (default: over HTTP). Workers call it on
  // their own threads, so it is to be set while no run is going on.
  void SetPosterFactory(adw::engine::JobPosterFactory factory) { m_posterFactory = std::move(factory); }

  // The run journal of the window's runs.
  JournalController& Journal() { return *m_journal; }

  // RxDBLProject's binding to the ads, made at the first need.
  ReportList& Reports();

  // What the job list build shows on the status panel (lbProg, pbStat),
  // and its way of keeping the window live.
  adw::engine::IJobListProgress& BuildProgress();

  // -- IPostingObserver -------------------------------------------------
  adw::engine::RunSwitches Switches() override;
  void DisplayChanged(const adw::engine::RunDisplay& display) override;
  void JobReported(const adw::engine::JobResult& result, const std::string& statusText) override;
  void JobStarting(int jobIndex) override;
  void SettleRecords() override;
  void RunEnded(adw::engine::RunEnd how) override;
  void HideToTray() override;
  void RestoreFromTray() override;
  void TerminateApplication() override;
  void ProcessMessages() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Progress;
  void ShowDisplay(const adw::engine::RunDisplay& display);
  void ShowRunEnd(const adw::engine::RunDisplay& reached, bool stopped);

  TfrmMain& m_window;
  QTimer m_timer;
  std::function<adw::engine::LocalDateTime()> m_clock;
  std::function<void()> m_terminate;
  std::string m_companionPath;
  adw::engine::JobPosterFactory m_posterFactory;
  // The display as the running run last showed it, and the result page
  // path it last put into the status bar.
  adw::engine::RunDisplay m_runDisplay;
  QString m_resultPageText;
  bool m_building = false;
  bool m_closing = false;
  bool m_destroying = false;
  std::unique_ptr<Progress> m_buildProgress;
  std::unique_ptr<ReportList> m_reports;
  std::unique_ptr<JournalController> m_journal;
  bool m_journalWired = false;
  bool m_statsPending = false;
  std::unique_ptr<adw::engine::PostingPool> m_pool;
};

}  // namespace adw::ui
