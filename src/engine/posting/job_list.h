#pragma once
// The job list of a posting run: one request per matching pair of a ticked
// board and a ticked ad, built on the main thread at run start from the
// board files, base.dat, the variables map and the ad record set.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/board_list.h"
#include "engine/base/record_set.h"
#include "engine/posting/reply_verdict.h"

namespace adw::engine {

// What a worker needs to know of a job's board beyond the request itself;
// shared by every job of the board.
struct BoardJobRules {
  ReplyRules reply;    // OK=, FAIL= and CODE=: how the reply is judged
  bool fresh = false;  // FRESH=1: renew the form's hidden fields and cookies first
};
// FRESH= as written: "1" (blanks around allowed) turns it on.
bool ReadFreshKey(const BoardFile& board);

// What every job of a board takes from its file besides the request: the
// rules and the DELAY spacing in milliseconds. A new job list and jobs
// posted again from the run journal read them alike.
struct BoardJobSettings {
  std::shared_ptr<const BoardJobRules> rules;  // never null
  int delayMs = 0;
};
// nullopt, with why set, when DELAY cannot be read: a board that asks to
// be spared is never posted to without its spacing.
std::optional<BoardJobSettings> ReadBoardJobSettings(const BoardFile& board, std::string& why);

// Four parallel lists; job k is the k-th entry of each. JobRules runs
// beside them (null for a job added without rules: judged by status alone).
struct JobList {
  std::vector<std::string> JobURLs;
  std::vector<std::string> JobBodies;
  std::vector<std::string> JobReferers;
  std::vector<std::string> JobLabels;  // board NAME, TAB, the ad's report directory
  std::vector<std::shared_ptr<const BoardJobRules>> JobRules;
  // The ad's NAME of each job, for the log; may be shorter than the lists
  // above (then the jobs past its end name no ad).
  std::vector<std::string> JobAds;
  // The board's DELAY in milliseconds; a list built without it (shorter
  // than the others) means no delay.
  std::vector<int> JobDelays;

  std::size_t Count() const { return JobURLs.size(); }
  void Add(std::string url, std::string body, std::string referer, std::string label, int delayMs = 0);
  void Add(std::string url, std::string body, std::string referer, std::string label,
           std::shared_ptr<const BoardJobRules> rules, int delayMs = 0);
  // Never null.
  std::shared_ptr<const BoardJobRules> Rules(std::size_t job) const;
  // Frees the lists' memory, not only their entries.
  void Release();
};

// lbProg's caption while the list is built.
std::string CheckingCaption();  // "Подождите идет проверка ..."

// The window's side of the build. Every call happens on the main thread.
class IJobListProgress {
 public:
  virtual ~IJobListProgress() = default;
  // lbProg := CheckingCaption(), pbStat 0 .. boardCount - 1.
  virtual void BuildStarted(int /*boardCount*/) {}
  // Before each board and each ad record visited: process pending window
  // messages. Returning false abandons the build (the window is closing).
  virtual bool ProcessMessages() { return true; }
  // pbStat's position after each board list entry, ticked or not.
  virtual void BoardVisited(int /*position*/) {}
};

// A ticked board that gave no jobs because its file could not be used.
struct SkippedBoard {
  std::string name;
  std::string reason;  // English, like the runtime's messages
};

// Where job k of a build came from, for the run journal.
struct JobOrigin {
  std::string boardFile;  // the board's file name in the script directory
  std::string ad;         // the ad's NAME
};

struct JobListBuild {
  JobList jobs;
  std::vector<JobOrigin> origins;  // parallel to jobs
  std::vector<SkippedBoard> skipped;
  // NAMEs of ticked ads whose category value has no group line in the
  // variables map; they could match only by the primary rule.
  std::vector<std::string> adsWithoutGroup;
  bool abandoned = false;  // ProcessMessages said no
  // The status bar hint about skipped boards (cp1251), naming how many and
  // the first; empty when none was skipped.
  std::string SkipHint() const;
};

// Builds the job list. scriptDir: the script directory box's current text
// (board files and base.dat); variablesMapPath: base.map in the stored
// script directory; boards: the board list rows in list order; ads: the ad
// record set (NAME, STAT, CATALOG). A ticked board whose ".prj" file is
// missing or cannot be read is skipped and the build goes on.
JobListBuild BuildJobList(const std::string& scriptDir, const std::string& variablesMapPath,
                          const std::vector<BoardRow>& boards, const RecordSet& ads,
                          IJobListProgress* progress = nullptr);

// The match of one ad against one MAP line (key=binding): primary (the
// category value right after an "=") or, failing that, the group value
// anywhere in the line; an empty group value never matches.
bool MapLineMatches(const std::string& mapLine, const std::string& categoryValue,
                    const std::string& groupValue);

// A job's URL: the map line's text before its first "=" when the line holds
// "http" (case-sensitive), else the board's SUBMIT.
std::string JobUrl(const std::string& mapLine, const std::string& submit);

}  // namespace adw::engine
