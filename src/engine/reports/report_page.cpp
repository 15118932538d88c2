#include "engine/reports/report_page.h"

#include <exception>
#include <filesystem>
#include <unordered_map>

#include "engine/base/board_file.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string CurrentReportDir(const RecordSet& ads) {
  return ads.CurrentValue("CATALOG");
}

bool HasReportDir(const std::string& reportDir) {
  return !platform::Trim(reportDir).empty();
}

std::string Stem(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace

std::string NoReportDirectoryHint() {
  return platform::W("Для этого проекта не задан каталог отчетов");
}

std::string HtmlLinkTarget(std::string_view path) {
  std::string encoded;
  encoded.reserve(path.size());
  for (char c : path) {
    switch (c) {
      case '%':
        encoded += "%25";
        break;
      case '#':
        encoded += "%23";
        break;
      case '?':
        encoded += "%3F";
        break;
      default:
        encoded += c;
    }
  }
  return HtmlEscape(encoded);
}

std::string JoinPageLines(std::string_view text) {
  std::string joined;
  joined.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') joined += c;
  }
  return joined;
}

bool PageReportsFailure(std::string_view joinedText) {
  const std::string upper = platform::UpperAscii(joinedText);
  return upper.find("ERROR") != std::string::npos || upper.find("NOT FOUND") != std::string::npos ||
         upper.find("INVALID") != std::string::npos;
}

std::string ReportHeaderLine() {
  return platform::W(
      R"x(<html><head><title>Adwelder Pro report</title></head><body bgcolor="#FFFFFF"><div align="center"><center><table border="0" cellspacing="1" width="100%"><tr><td bgcolor="#8000FF" width="100%" colspan="3"><p align="center"><strong><font color="#FFFFFF">Adwelder Pro report</font></strong></td></tr><tr><td width="248" bgcolor="#808080"><font color="#FFFFFF">&nbsp; Наименование проекта</font></td><td width="105" bgcolor="#808080"><p align="center"><font color="#FFFFFF">Статус</font></td><td width="237" bgcolor="#808080"><font color="#FFFFFF">&nbsp; Результат работы</font></td></tr>)x");
}

std::string ReportSeparatorLine() {
  return R"x(<tr><td width="100%" colspan="3"><hr size="1" color="#808080" noshade></td></tr>)x";
}

std::string ReportFooterLine() {
  return "</table></center></div></body></html>";
}

JobVerdict JudgeResultPage(std::string_view joinedText, const ReplyRules& rules) {
  if (const auto marked = ReadVerdictMark(joinedText)) return *marked;
  if (rules.Empty()) return PageReportsFailure(joinedText) ? JobVerdict::Failed : JobVerdict::Ok;
  const std::string decoded = DecodeReplyBody(joinedText, rules.code);
  if (!FindReplyText(decoded, rules.failTexts).empty()) return JobVerdict::Failed;
  if (!FindReplyText(decoded, rules.okTexts).empty()) return JobVerdict::Ok;
  // A page that says nothing either way: the words still mark the pages a
  // failed request leaves ("error retrieving page").
  if (PageReportsFailure(joinedText)) return JobVerdict::Failed;
  return rules.hasOkKey ? JobVerdict::Unconfirmed : JobVerdict::Ok;
}

std::string ReportRowLine(std::string_view boardName, bool failure, std::string_view linkTarget) {
  return ReportRowLine(boardName, failure ? JobVerdict::Failed : JobVerdict::Ok, linkTarget);
}

std::string ReportRowLine(std::string_view boardName, JobVerdict state, std::string_view linkTarget) {
  static const std::string success =
      platform::W(R"x(<td width="105">&nbsp; <strong><font color="#008040">Размещено</font></strong></td>)x");
  static const std::string error =
      platform::W(R"x(<td width="105">&nbsp; <strong><font color="#FF0000">Ошибка</font></strong></td>)x");
  static const std::string unconfirmed = platform::W(
      R"x(<td width="105">&nbsp; <strong><font color="#C06000">Не подтверждено</font></strong></td>)x");
  const std::string name = HtmlEscape(boardName);
  std::string row = R"x(<tr><td width="248">&nbsp; <strong>)x";
  row += name;
  row += "</strong></td>";
  row += state == JobVerdict::Ok ? success : state == JobVerdict::Unconfirmed ? unconfirmed : error;
  row += R"x(<td width="237">&nbsp; <a href=")x";
  row += HtmlLinkTarget(linkTarget);
  row += "\">";
  row += name;
  row += "</a></td></tr>";
  return row;
}

std::vector<std::string> ListResultPages(const std::string& reportDir) {
  std::vector<std::string> pages = platform::ListFiles(reportDir, "*.htm");
  // Also when the old report page could not be deleted, it is no result page.
  std::erase_if(pages, [](const std::string& name) { return platform::EqualsNoCase(name, kReportPageName); });
  return pages;
}

std::string CurrentReportDirectory(const RecordSet& ads) {
  return ads.IsEmpty() ? std::string() : CurrentReportDir(ads);
}

std::vector<std::string> ReportHistoryLines(const ReportHistory& history) {
  std::vector<std::string> lines;
  if (history.recent.empty()) return lines;
  lines.push_back(platform::W(
      R"x(<tr><td width="100%" colspan="3" bgcolor="#808080"><font color="#FFFFFF">&nbsp; Последние размещения</font></td></tr>)x"));
  static const std::map<std::string, std::string, std::less<>> kStates = {
      {"ok", platform::W("<font color=\"#008040\">Размещено</font>")},
      {"failed", platform::W("<font color=\"#FF0000\">Ошибка</font>")},
      {"unconfirmed", platform::W("<font color=\"#C08000\">Не подтверждено</font>")},
      {"skipped", platform::W("<font color=\"#808080\">Пропущено</font>")},
  };
  for (const ReportHistory::Entry& entry : history.recent) {
    const auto state = kStates.find(entry.state);
    std::string line =
        R"x(<tr><td width="248">&nbsp; )x" + HtmlEscape(entry.board) + R"x(</td><td width="105">&nbsp; )x";
    line += state == kStates.end() ? HtmlEscape(entry.state) : state->second;
    line += R"x(</td><td width="237">&nbsp; )x" + HtmlEscape(entry.when) + ", " + HtmlEscape(entry.ad) +
            "</td></tr>";
    lines.push_back(std::move(line));
  }
  return lines;
}

ReportOutcome BuildReport(const std::string& reportDir, const std::string& scriptDir,
                          const ReportHistory* history) {
  ReportOutcome outcome;
  if (!HasReportDir(reportDir)) {
    outcome.status = ReportOutcome::Status::NoReportDirectory;
    outcome.hint = NoReportDirectoryHint();
    return outcome;
  }
  outcome.reportPath = platform::JoinPath(reportDir, kReportPageName);
  platform::RemoveFileQuiet(outcome.reportPath);
  const std::vector<std::string> pages = ListResultPages(reportDir);
  if (pages.empty()) {
    outcome.status = ReportOutcome::Status::NoPages;
    return outcome;
  }

  std::unordered_map<std::string, std::string> boardFiles;
  for (const std::string& file : platform::ListFiles(scriptDir, "*.prj")) {
    boardFiles.emplace(platform::LowerAscii(file), file);
  }
  const std::string absoluteDir = AbsolutePath(reportDir);

  std::string report = ReportHeaderLine();
  report += kCrLf;
  for (const std::string& page : pages) {
    // A page that cannot be read is left out; the rows after it still come.
    const auto text = platform::ReadWholeFile(platform::JoinPath(reportDir, page));
    if (!text) continue;
    const std::string stem = Stem(page);
    // A board whose file is gone still gets its row, under the page's name.
    std::string name = stem;
    ReplyRules rules;
    const auto board = boardFiles.find(platform::LowerAscii(stem + std::string(kBoardFileExtension)));
    if (board != boardFiles.end()) {
      try {
        const BoardFile boardFile = BoardFile::Read(scriptDir, board->second);
        name = boardFile.Name();
        rules = ReadReplyRules(boardFile);
      } catch (const std::exception&) {
      }
    }
    std::string row = ReportRowLine(name, JudgeResultPage(JoinPageLines(*text), rules),
                                    platform::JoinPath(absoluteDir, page));
    if (history) {
      const auto when = history->resultTimes.find(platform::LowerAscii(page));
      if (when != history->resultTimes.end()) {
        // The date and time go into the status cell, so the table keeps
        // its three columns.
        const std::size_t cellEnd = row.find("</strong></td>", row.find(R"x(<td width="105">)x"));
        if (cellEnd != std::string::npos) {
          row.insert(cellEnd + 9, "<br>&nbsp; <small>" + HtmlEscape(when->second) + "</small>");
        }
      }
    }
    report += row;
    report += kCrLf;
    report += ReportSeparatorLine();
    report += kCrLf;
    ++outcome.rows;
  }
  if (history) {
    for (const std::string& line : ReportHistoryLines(*history)) {
      report += line;
      report += kCrLf;
    }
  }
  report += ReportFooterLine();
  report += kCrLf;

  if (!platform::WriteFileAtomic(outcome.reportPath, report)) {
    outcome.status = ReportOutcome::Status::WriteFailed;
    outcome.hint = "Unable to write to " + outcome.reportPath;
    outcome.rows = 0;
    return outcome;
  }
  outcome.status = ReportOutcome::Status::Written;
  outcome.openTarget = "file://" + platform::JoinPath(absoluteDir, kReportPageName);
  return outcome;
}

ReportOutcome ViewReport(const RecordSet& ads, const std::string& scriptDir, platform::IShell& shell,
                         const ReportHistory* history) {
  if (ads.IsEmpty()) return ReportOutcome{};
  ReportOutcome outcome = BuildReport(CurrentReportDir(ads), scriptDir, history);
  if (outcome.status == ReportOutcome::Status::Written) shell.Open(outcome.openTarget);
  return outcome;
}

ClearOutcome ClearReports(const std::string& reportDir) {
  ClearOutcome outcome;
  if (!HasReportDir(reportDir)) {
    outcome.hint = NoReportDirectoryHint();
    return outcome;
  }
  for (const std::string& page : platform::ListFiles(reportDir, "*.htm")) {
    const std::string path = platform::JoinPath(reportDir, page);
    platform::RemoveFileQuiet(path);
    if (platform::FileExists(path)) {
      ++outcome.kept;
    } else {
      ++outcome.deleted;
    }
  }
  return outcome;
}

ClearOutcome ClearReport(const RecordSet& ads) {
  if (ads.IsEmpty()) return ClearOutcome{};
  return ClearReports(CurrentReportDir(ads));
}

}  // namespace adw::engine
