#pragma once
// The main window's side of the run journal: the journal beside the settings
// file, the rows of every run the window starts (through the duplicate
// guard), "Повторить неудачные", and the offer to finish a run that did not
// end when the window comes up. Main thread only.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/check/board_check.h"
#include "engine/journal/run_journal.h"
#include "engine/journal/run_recorder.h"
#include "engine/posting/job_list.h"
#include "engine/posting/worker_pool.h"

namespace adw::ui {

class TfrmMain;

class JournalController : public QObject {
  Q_OBJECT

 public:
  explicit JournalController(TfrmMain& window);
  ~JournalController() override;

  // The journal, opened at the first need. Null when it cannot be used; the
  // reason is shown once and the window then posts without a journal.
  adw::engine::RunJournal* Journal();

  // A yes/no question to the user; tests answer it themselves.
  void SetAskHook(std::function<bool(const QString& text)> ask) { m_ask = std::move(ask); }

  // The next start comes from the scheduled start.
  void SetScheduledStart(bool scheduled) { m_scheduled = scheduled; }

  // Turns a freshly built job list into the run's: rows written, the jobs
  // the guard holds back left out (a status bar hint says how many).
  adw::engine::JobList PrepareRun(adw::engine::JobListBuild& build);
  // How many jobs the guard held back in the last PrepareRun.
  std::size_t LastSkipped() const { return m_recorder ? m_recorder->Skipped().size() : 0; }

  // "Повторить неудачные": the last run's failed jobs posted again.
  void RetryFailed();
  // At start-up: a run that never ended is offered for finishing.
  void OfferResume();

  // "Проверить доски": the ticked boards (all when none is ticked) checked
  // in the background; the results go into the journal, the board list's
  // statistics and a message.
  void CheckBoards();
  bool IsChecking() const { return m_checking; }
  // How the check's results are shown; tests read them themselves.
  void SetShowChecksHook(std::function<void(const QString& text)> show) { m_showChecks = std::move(show); }

  // The board list's tooltips and column from the journal.
  void RefreshBoardStats();

  // The pool's events, forwarded by the posting controller.
  void JobStarting(int jobIndex);
  void JobReported(const adw::engine::JobResult& result);
  void SettleRecords();
  void RunEnded(adw::engine::RunEnd how);

 private:
  bool Ask(const QString& text);
  void ChecksDone(const std::vector<adw::engine::BoardCheckResult>& results);
  void StartPool(adw::engine::JobList jobs);
  // The script directory box's text: where resumed and retried jobs find
  // their boards' rules.
  std::string ScriptDir() const;
  // A status bar hint when jobs were held back for want of their board file.
  void ShowHeldBack(std::size_t gone);
  void ReportError();

  TfrmMain& m_window;
  std::function<bool(const QString&)> m_ask;
  std::unique_ptr<adw::engine::RunJournal> m_journal;
  std::unique_ptr<adw::engine::RunRecorder> m_recorder;
  bool m_failed = false;  // the journal could not be opened
  bool m_scheduled = false;
  bool m_checking = false;
  std::function<void(const QString&)> m_showChecks;
  std::thread m_checkThread;
};

}  // namespace adw::ui
