#pragma once
// Whether a posting really went through. A board that answers every post
// with a page, refusals included, cannot be judged by the transport alone:
// the reply's status and the board's own OK= and FAIL= texts decide. The
// same rule judges a stored result page for the report, where no status is
// known any more.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

class BoardFile;

// The outcome of one job. Other parts (the run journal, reports, the
// runner) store and show these; Skipped is a job that was never posted.
enum class JobVerdict : std::uint8_t { Ok, Failed, Unconfirmed, Skipped };

// "ok", "failed", "unconfirmed", "skipped": the runner's and journal's words.
std::string_view JobVerdictName(JobVerdict verdict);
// The Russian caption of a state as the windows and the report show it
// (cp1251): "Размещено", "Ошибка", "Не подтверждено", "Пропущено".
std::string JobVerdictCaption(JobVerdict verdict);

// A board's texts that confirm or refuse a posting, and its code page.
struct ReplyRules {
  std::vector<std::string> okTexts;    // OK=, cp1251
  std::vector<std::string> failTexts;  // FAIL=, cp1251
  std::string code;                    // CODE=, as written
  bool hasOkKey = false;               // OK= holds at least one text
  bool Empty() const { return !hasOkKey && failTexts.empty(); }
};

// A key's value split at "|"; pieces are trimmed and empty ones dropped.
std::vector<std::string> SplitReplyTexts(std::string_view value);
ReplyRules ReadReplyRules(const BoardFile& board);

// A reply body in the board's code page turned into cp1251 so the board
// file's texts can be found in it: KOI8-R and ISO are translated, UTF-8 is
// decoded, anything else is taken as cp1251.
std::string DecodeReplyBody(std::string_view body, std::string_view code);

// The first of texts found in decoded (Latin letters compared without
// regard to case); empty when none is.
std::string FindReplyText(std::string_view decoded, const std::vector<std::string>& texts);

struct ReplyVerdict {
  JobVerdict verdict = JobVerdict::Failed;
  std::string reason;  // cp1251; empty for a plain success
};

// The rule of a finished post. posted: Post returned normally; status: the
// final HTTP status (0 when none was read). Failed when the post failed,
// the status is 400 or more, or a FAIL text is in the body; Ok when an OK
// text is in it or the board has no OK key; Unconfirmed otherwise.
ReplyVerdict JudgeReply(bool posted, int status, std::string_view body, const ReplyRules& rules);

// The line a result page ends with when the board's reply was judged by
// its status or texts to be other than a success: the page alone would not
// tell (a 403 page need not say "error"), and the report must agree with
// the run. "<!-- adwelder-verdict: failed -->".
std::string VerdictMarkLine(JobVerdict verdict);
// The state a result page's mark gives; nullopt for a page without one.
std::optional<JobVerdict> ReadVerdictMark(std::string_view page);

}  // namespace adw::engine
