#include "engine/wizard/fetch_failure.h"

#include "engine/wizard/fetch/http_cli.h"
#include "platform/html_escape.h"
#include "platform/text1251.h"

namespace adw::engine {

std::string FetchFailureReason(const HttpCliError& failure, bool answered) {
  const std::string text = failure.what();
  const int code = failure.Code();
  if (answered && code >= 400 && code < 600)
    return platform::W("сервер ответил ") + std::to_string(code) + (text.empty() ? "" : " " + text);
  return text.empty() ? platform::W("неизвестная ошибка") : text;
}

std::string FetchFailureStatus(const HttpCliError& failure, bool answered) {
  return platform::W("Страница не загружена: ") + FetchFailureReason(failure, answered);
}

std::string FetchFailurePage(const HttpCliError& failure, bool answered, std::string_view url) {
  return "<html><head><title>" + platform::W("Страница не загружена") + "</title></head><body><h3>" +
         platform::W("Страница не загружена") + "</h3><p>" +
         platform::HtmlEscape(FetchFailureReason(failure, answered)) + "</p><p>" + platform::HtmlEscape(url) +
         "</p><p>" +
         platform::HtmlEscape(
             platform::W("Проверьте адрес и соединение, нажмите «<< Пред.» и затем «След. >>» ещё раз.")) +
         "</p></body></html>";
}

}  // namespace adw::engine
