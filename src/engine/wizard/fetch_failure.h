#pragma once
// What the wizard tells the user when the board's page could not be
// fetched: one line for the status bar and a small page for the viewer, so
// the page area never stays blank without a word. Texts are cp1251.
#include <string>
#include <string_view>

namespace adw::engine {

class HttpCliError;

// The reason in the user's words: the server's status when it answered
// with one ("сервер ответил 404 Not Found"), else the client's own message
// (a name that cannot be looked up or a refused connection fail with 404
// as well, but no server said so). answered: a reply header came.
std::string FetchFailureReason(const HttpCliError& failure, bool answered);
// "Страница не загружена: " and the reason.
std::string FetchFailureStatus(const HttpCliError& failure, bool answered);
// An HTML page saying the same, with the URL that was asked for; every
// text put into it is escaped.
std::string FetchFailurePage(const HttpCliError& failure, bool answered, std::string_view url);

}  // namespace adw::engine
