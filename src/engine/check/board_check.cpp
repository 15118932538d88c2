#include "engine/check/board_check.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <set>
#include <thread>

#include "engine/journal/run_journal.h"
#include "engine/posting/letter_tables.h"
#include "engine/shell/settings_file.h"
#include "engine/wizard/fetch/http_cli.h"
#include "engine/wizard/html/html_document.h"
#include "engine/wizard/html/html_form.h"
#include "engine/wizard/submit_url.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

// Forms post to URLs written in many ways; these differences do not change
// where the request goes.
std::string Comparable(std::string url) {
  url = platform::Trim(url);
  const std::size_t fragment = url.find('#');
  if (fragment != std::string::npos) url.erase(fragment);
  const std::size_t schemeEnd = url.find("://");
  const std::size_t hostEnd = url.find('/', schemeEnd == std::string::npos ? 0 : schemeEnd + 3);
  std::string head = url.substr(0, hostEnd);
  head = platform::LowerAscii(head);
  // An explicit default port says nothing more.
  if (head.size() > 3 && head.ends_with(":80") && head.starts_with("http://")) head.resize(head.size() - 3);
  std::string path = hostEnd == std::string::npos ? std::string("/") : url.substr(hostEnd);
  return head + path;
}

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += ", ";
    text += item;
  }
  return text;
}

bool HasControl(const ThtmlForm& form, const std::string& name) {
  for (const auto& control : form.Controls()) {
    if (control->Name() == name) return true;
  }
  // An image button sends name.x and name.y.
  if (name.size() > 2 && (name.ends_with(".x") || name.ends_with(".y"))) {
    return HasControl(form, name.substr(0, name.size() - 2));
  }
  return false;
}

// The values a field can take from the page: list options and radio values.
std::set<std::string> ChoiceValues(const ThtmlForm& form, const std::string& name) {
  std::set<std::string> values;
  for (const auto& control : form.Controls()) {
    if (control->Name() != name) continue;
    if (const auto* list = dynamic_cast<const TOptionListFormControlObj*>(control.get())) {
      for (const TOptionObj& option : list->Options()) values.insert(option.Submitted());
    } else {
      values.insert(control->Value());
    }
  }
  return values;
}

}  // namespace

std::string_view CheckStateName(CheckState state) {
  switch (state) {
    case CheckState::Ok:
      return "ok";
    case CheckState::Changed:
      return "changed";
    case CheckState::Unreachable:
      return "unreachable";
  }
  return "unreachable";
}

std::vector<std::string> SubBodyFieldNames(std::string_view subBody) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= subBody.size()) {
    const std::size_t amp = subBody.find('&', start);
    const std::string_view pair =
        subBody.substr(start, amp == std::string_view::npos ? std::string_view::npos : amp - start);
    const std::string name(pair.substr(0, pair.find('=')));
    if (!platform::Trim(name).empty()) names.push_back(name);
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
  return names;
}

BoardCheckResult CompareBoardWithPage(const BoardFile& board, std::string_view page,
                                      const std::string& pageUrl) {
  BoardCheckResult result;
  result.board = board.Name();
  std::string text(page);
  // Field names and list values are compared as the board file holds them.
  if (board.Code() == "KOI8-R") text = TranslateChars(text, LettersKOI8R(), LettersWin1251());
  std::unique_ptr<THtmlDocument> document;
  try {
    document = THtmlDocument::Parse(text);
  } catch (const std::exception& error) {
    result.state = CheckState::Changed;
    result.detail = std::string("page cannot be read: ") + error.what();
    return result;
  }
  const std::string submit = Comparable(board.Submit());
  const ThtmlForm* form = nullptr;
  std::vector<std::string> actions;
  for (const auto& candidate : document->Forms()) {
    const std::string action = ResolveFormAction(pageUrl, document->DocumentBase(), candidate->Action());
    if (Comparable(action) == submit) {
      form = candidate.get();
      break;
    }
    actions.push_back(action);
  }
  if (!form) {
    result.state = CheckState::Changed;
    result.detail = "no form posts to " + board.Submit();
    if (!actions.empty()) result.detail += " (forms post to " + Join(actions) + ")";
    return result;
  }

  std::vector<std::string> goneFields;
  for (const std::string& name : SubBodyFieldNames(board.SubBody())) {
    if (!HasControl(*form, name)) goneFields.push_back(name);
  }
  std::vector<std::string> goneValues;
  for (const auto& [key, binding] : board.MapEntries()) {
    // A wizard-written line is VALUE$FIELD=binding; a URL line chooses no value.
    const std::size_t dollar = key.rfind('$');
    if (dollar == std::string::npos || key.find("http") != std::string::npos) continue;
    const std::string value = key.substr(0, dollar);
    const std::string field = key.substr(dollar + 1);
    const std::set<std::string> values = ChoiceValues(*form, field);
    if (!values.contains(value)) goneValues.push_back(field + "=" + value);
  }
  if (goneFields.empty() && goneValues.empty()) {
    result.state = CheckState::Ok;
    return result;
  }
  result.state = CheckState::Changed;
  if (!goneFields.empty()) result.detail = "fields gone: " + Join(goneFields);
  if (!goneValues.empty()) {
    if (!result.detail.empty()) result.detail += "; ";
    result.detail += "values gone: " + Join(goneValues);
  }
  return result;
}

std::vector<BoardCheckResult> CheckBoards(const std::string& scriptDir, const std::vector<std::string>& names,
                                          const CheckOptions& options) {
  struct Task {
    std::string file;
    BoardFile board;
    bool readable = false;
    BoardCheckResult result;
  };
  std::vector<Task> tasks;
  for (const std::string& file : platform::ListFiles(scriptDir, "*.prj")) {
    Task task;
    task.file = file;
    task.result.board = file.substr(0, file.size() - 4);
    try {
      task.board = BoardFile::Read(scriptDir, file);
      task.readable = true;
      task.result.board = task.board.Name();
    } catch (const std::exception& error) {
      task.result.detail = std::string("board file cannot be read: ") + error.what();
    }
    if (!names.empty()) {
      const std::string stem = file.substr(0, file.size() - 4);
      const bool wanted = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
        return platform::EqualsNoCase(name, task.result.board) || platform::EqualsNoCase(name, stem);
      });
      if (!wanted) continue;
    }
    tasks.push_back(std::move(task));
  }

  const FetchProxySettings proxy = ReadFetchProxySettings(options.settingsFile);
  const int timeOut = ReadPostingSettings(options.settingsFile).timeOutMs;
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    for (;;) {
      const std::size_t index = next.fetch_add(1);
      if (index >= tasks.size()) return;
      Task& task = tasks[index];
      if (!task.readable) continue;
      const std::string request = task.board.Request();
      if (platform::Trim(request).empty()) {
        task.result.detail = "the board file names no REQUEST page";
        continue;
      }
      std::string page;
      THttpCli http;
      if (proxy.useProxy) {
        http.Proxy = proxy.proxy;
        http.ProxyPort = proxy.proxyPort;
      }
      http.TimeOut = timeOut > 0 ? timeOut : kDefaultFetchTimeOutMs;
      http.URL = request;
      http.ReplyStream = &page;
      try {
        http.Get();
      } catch (const std::exception& error) {
        task.result.detail = error.what();
        continue;
      }
      task.result = CompareBoardWithPage(task.board, page, request);
    }
  };
  const std::size_t threads =
      std::min<std::size_t>(tasks.size(), static_cast<std::size_t>(std::max(1, options.parallel)));
  std::vector<std::thread> pool;
  for (std::size_t k = 0; k < threads; ++k) pool.emplace_back(worker);
  for (std::thread& thread : pool) thread.join();

  std::vector<BoardCheckResult> results;
  results.reserve(tasks.size());
  for (Task& task : tasks) results.push_back(std::move(task.result));
  return results;
}

void RecordChecks(RunJournal& journal, const std::vector<BoardCheckResult>& results, std::int64_t nowMs) {
  platform::SqliteDb::Transaction transaction(journal.Db());
  for (const BoardCheckResult& result : results) {
    journal.RecordCheck(result.board, CheckStateName(result.state), result.detail, nowMs);
  }
  transaction.Commit();
}

}  // namespace adw::engine
