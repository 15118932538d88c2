#pragma once
// Shared by the page fetch client's tests: how a Get ended, and the events
// it raised in their order.
#include <cstddef>
#include <string>
#include <vector>

#include "engine/wizard/fetch/http_cli.h"

namespace adw::engine::fetchtest {

struct Outcome {
  bool ok = false;
  std::string text;  // the failure's text, empty on success
  int code = 0;
};

inline Outcome RunGet(THttpCli& client) {
  try {
    client.Get();
    return {true, {}, 0};
  } catch (const HttpCliError& e) {
    return {false, e.what(), e.Code()};
  }
}

inline Outcome OutcomeOf(const HttpCliError* failure) {
  if (failure == nullptr) return {true, {}, 0};
  return {false, failure->what(), failure->Code()};
}

// "begin", "data <chunk length> <ReplyByteCount>", "end", "header <line>",
// "location <target>", in the order the client raised them.
struct EventLog {
  std::vector<std::string> events;

  void Attach(THttpCli& client) {
    client.OnDocBegin = [this](THttpCli&) { events.push_back("begin"); };
    client.OnDocData = [this](THttpCli& sender, const char*, std::size_t length) {
      events.push_back("data " + std::to_string(length) + " " + std::to_string(sender.ReplyByteCount()));
    };
    client.OnDocEnd = [this](THttpCli&) { events.push_back("end"); };
    client.OnHeaderData = [this](THttpCli& sender) {
      std::vector<std::string> lines = sender.RcvdHeader();
      events.push_back("header " + (lines.empty() ? std::string() : lines.back()));
    };
    client.OnLocationChange = [this](THttpCli& sender) { events.push_back("location " + sender.Location()); };
  }

  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& e : events) n += e.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
};

}  // namespace adw::engine::fetchtest
