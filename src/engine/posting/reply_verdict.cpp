#include "engine/posting/reply_verdict.h"

#include "engine/base/board_file.h"
#include "engine/posting/letter_tables.h"
#include "platform/text1251.h"

namespace adw::engine {

std::string_view JobVerdictName(JobVerdict verdict) {
  switch (verdict) {
    case JobVerdict::Ok:
      return "ok";
    case JobVerdict::Failed:
      return "failed";
    case JobVerdict::Unconfirmed:
      return "unconfirmed";
    case JobVerdict::Skipped:
      return "skipped";
  }
  return "failed";
}

std::string JobVerdictCaption(JobVerdict verdict) {
  switch (verdict) {
    case JobVerdict::Ok:
      return platform::W("Размещено");
    case JobVerdict::Failed:
      return platform::W("Ошибка");
    case JobVerdict::Unconfirmed:
      return platform::W("Не подтверждено");
    case JobVerdict::Skipped:
      return platform::W("Пропущено");
  }
  return platform::W("Ошибка");
}

std::vector<std::string> SplitReplyTexts(std::string_view value) {
  std::vector<std::string> texts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = value.find('|', start);
    const std::string piece = platform::Trim(
        value.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (!piece.empty()) texts.push_back(piece);
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return texts;
}

ReplyRules ReadReplyRules(const BoardFile& board) {
  ReplyRules rules;
  // "OK=" left empty, as the wizard offers it, asks for nothing.
  rules.okTexts = SplitReplyTexts(board.ReadProjectKey("OK", ""));
  rules.hasOkKey = !rules.okTexts.empty();
  rules.failTexts = SplitReplyTexts(board.ReadProjectKey("FAIL", ""));
  rules.code = board.Code();
  return rules;
}

std::string DecodeReplyBody(std::string_view body, std::string_view code) {
  const std::string upper = platform::UpperAscii(platform::Trim(code));
  if (upper == "KOI8-R") return TranslateChars(body, LettersKOI8R(), LettersWin1251());
  if (upper == "ISO") return TranslateChars(body, LettersISO88595(), LettersWin1251());
  if (upper == "UTF-8" || upper == "UTF8") return platform::Utf8ToCp1251(body);
  return std::string(body);
}

std::string FindReplyText(std::string_view decoded, const std::vector<std::string>& texts) {
  if (texts.empty()) return {};
  const std::string folded = platform::UpperAscii(decoded);
  for (const std::string& text : texts) {
    if (folded.find(platform::UpperAscii(text)) != std::string::npos) return text;
  }
  return {};
}

ReplyVerdict JudgeReply(bool posted, int status, std::string_view body, const ReplyRules& rules) {
  if (!posted) return {JobVerdict::Failed, {}};
  if (status >= 400) {
    return {JobVerdict::Failed, platform::W("доска ответила статусом ") + std::to_string(status)};
  }
  const std::string decoded =
      rules.failTexts.empty() && rules.okTexts.empty() ? std::string() : DecodeReplyBody(body, rules.code);
  if (const std::string refusal = FindReplyText(decoded, rules.failTexts); !refusal.empty()) {
    return {JobVerdict::Failed, platform::W("в ответе доски найден текст FAIL: ") + refusal};
  }
  if (!rules.hasOkKey || !FindReplyText(decoded, rules.okTexts).empty()) return {JobVerdict::Ok, {}};
  return {JobVerdict::Unconfirmed, platform::W("в ответе доски нет текста OK")};
}

namespace {
constexpr std::string_view kMarkStart = "<!-- adwelder-verdict: ";
constexpr std::string_view kMarkEnd = " -->";
}  // namespace

std::string VerdictMarkLine(JobVerdict verdict) {
  return std::string(kMarkStart) + std::string(JobVerdictName(verdict)) + std::string(kMarkEnd);
}

std::optional<JobVerdict> ReadVerdictMark(std::string_view page) {
  // The mark is the page's last line: a reply that happens to hold the same
  // text earlier does not count.
  const std::size_t at = page.rfind(kMarkStart);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = page.substr(at + kMarkStart.size());
  while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.remove_suffix(1);
  if (!rest.ends_with(kMarkEnd)) return std::nullopt;
  rest.remove_suffix(kMarkEnd.size());
  for (JobVerdict verdict :
       {JobVerdict::Ok, JobVerdict::Failed, JobVerdict::Unconfirmed, JobVerdict::Skipped}) {
    if (rest == JobVerdictName(verdict)) return verdict;
  }
  return std::nullopt;
}

}  // namespace adw::engine
