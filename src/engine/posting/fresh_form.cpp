#include "engine/posting/fresh_form.h"

#include <exception>
#include <vector>

#include "engine/posting/job_body.h"
#include "engine/wizard/fetch/http_cli.h"
#include "engine/wizard/html/html_document.h"
#include "engine/wizard/html/submit_url.h"
#include "platform/concat.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

// A URL as compared: fragment dropped, scheme and host in lower case, an
// empty path written "/".
std::string ComparableUrl(std::string_view url) {
  std::string text = platform::Trim(url.substr(0, url.find('#')));
  const std::size_t scheme = text.find("://");
  if (scheme == std::string::npos) return text;
  const std::size_t hostStart = scheme + 3;
  std::size_t hostEnd = text.find_first_of("/?", hostStart);
  if (hostEnd == std::string::npos) hostEnd = text.size();
  std::string rest = text.substr(hostEnd);
  if (rest.empty() || rest[0] == '?') rest = platform::Concat({"/", rest});
  return platform::LowerAscii(std::string_view(text).substr(0, hostEnd)) + rest;
}

struct BodyPair {
  std::string name;
  std::string text;  // the whole "name=value" as stored
  bool renewed = false;
};

std::vector<BodyPair> SplitBody(std::string_view body) {
  std::vector<BodyPair> pairs;
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view piece = body.substr(start, end - start);
    if (!piece.empty()) pairs.push_back({std::string(piece.substr(0, piece.find('='))), std::string(piece)});
    start = end + 1;
  }
  return pairs;
}

bool CoversBody(const ThtmlForm& form, const std::vector<BodyPair>& pairs) {
  for (const BodyPair& pair : pairs) {
    if (pair.name.empty()) continue;
    bool found = false;
    for (const auto& control : form.Controls()) {
      if (control->Name() == pair.name) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace

std::string FormNotFoundMessage() {
  return platform::W("форма не найдена на странице REQUEST");
}

namespace {

const ThtmlForm* FindPostedForm(const THtmlDocument& document, std::string_view pageUrl,
                                std::string_view jobUrl, const std::vector<BodyPair>& pairs) {
  const std::string wanted = ComparableUrl(jobUrl);
  for (const auto& form : document.Forms()) {
    if (ComparableUrl(ResolveFormAction(pageUrl, document.DocumentBase(), form->Action())) == wanted) {
      return form.get();
    }
  }
  for (const auto& form : document.Forms()) {
    if (!pairs.empty() && CoversBody(*form, pairs)) return form.get();
  }
  return nullptr;
}

}  // namespace

bool CapturedFormHasHiddenFields(std::string_view page, std::string_view pageUrl, std::string_view submitUrl,
                                 std::string_view body) {
  const auto document = THtmlDocument::Parse(page);
  const ThtmlForm* form = FindPostedForm(*document, pageUrl, submitUrl, SplitBody(body));
  if (!form) return false;
  for (const auto& control : form->Controls()) {
    if (control->IsHidden() && !control->Name().empty()) return true;
  }
  return false;
}

std::optional<std::string> RenewHiddenFields(std::string_view page, std::string_view pageUrl,
                                             std::string_view jobUrl, std::string_view storedBody) {
  const auto document = THtmlDocument::Parse(page);
  std::vector<BodyPair> pairs = SplitBody(storedBody);
  const ThtmlForm* chosen = FindPostedForm(*document, pageUrl, jobUrl, pairs);
  if (!chosen) return std::nullopt;

  std::vector<std::string> added;
  for (const auto& control : chosen->Controls()) {
    if (!control->IsHidden() || control->Name().empty()) continue;
    const std::string fresh = control->Name() + "=" + EscapeFieldValue(control->Value());
    bool placed = false;
    for (BodyPair& pair : pairs) {
      if (!pair.renewed && pair.name == control->Name()) {
        pair.text = fresh;
        pair.renewed = placed = true;
        break;
      }
    }
    if (!placed) added.push_back(fresh);
  }
  std::string body;
  for (const BodyPair& pair : pairs) {
    if (!body.empty()) body += '&';
    body += pair.text;
  }
  for (const std::string& pair : added) {
    if (!body.empty()) body += '&';
    body += pair;
  }
  return body;
}

FreshForm FetchFreshForm(THttpCli& client, const FreshFetchSettings& settings, const std::string& pageUrl,
                         const std::string& jobUrl, const std::string& storedBody) {
  FreshForm result;
  std::string page;
  CookieJar jar;
  client.URL = pageUrl;
  client.Proxy = settings.proxyHost;
  client.ProxyPort = std::to_string(settings.proxyPort);
  client.TimeOut = settings.timeOutMs;
  client.CAFile = settings.caFile;
  client.ReplyStream = &page;
  // Every hop's header, relocations included: the reply state is reset at
  // each of them.
  client.OnHeaderData = [&jar](THttpCli& sender) {
    const std::vector<std::string> lines = sender.RcvdHeader();
    if (!lines.empty()) jar.TakeHeaderLine(lines.back());
  };
  try {
    client.Get();
  } catch (const std::exception& error) {
    client.ReplyStream = nullptr;
    client.OnHeaderData = nullptr;
    result.error = FormNotFoundMessage() + " (" + error.what() + ")";
    return result;
  }
  client.ReplyStream = nullptr;
  client.OnHeaderData = nullptr;
  auto body = RenewHiddenFields(page, pageUrl, jobUrl, storedBody);
  if (!body) {
    result.error = FormNotFoundMessage();
    return result;
  }
  result.ok = true;
  result.body = std::move(*body);
  result.cookie = jar.CookieLine();
  return result;
}

}  // namespace adw::engine
