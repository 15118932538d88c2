#pragma once
// Host name to IPv4 address, with a time limit and a cancel watch. A
// dotted-decimal address is converted in place; only a real name costs a
// lookup, which runs on a helper thread because the system resolver cannot
// be interrupted. A caller that gives up returns at once and the helper
// finishes on its own, touching nothing but state it shares ownership of.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/tcp_socket.h"

namespace adw::platform {

enum class LookupStatus {
  Found,
  NotFound,  // the resolver answered: no such host, or it failed
  TimedOut,
  Cancelled,
};

struct LookupResult {
  LookupStatus status = LookupStatus::NotFound;
  std::uint32_t address = 0;  // host byte order, when Found
  int error = 0;              // the resolver's EAI_* code when NotFound
};

// "a.b.c.d" with four decimal parts of 0..255; nothing else.
std::optional<std::uint32_t> ParseDottedIpv4(std::string_view text);

// The TCP port of a service name ("http" -> 80) from the system's services
// list; nullopt when unknown.
std::optional<std::uint16_t> LookupServicePort(std::string_view name);

// Resolves host to its first IPv4 address. timeoutMs 0 means no limit.
LookupResult LookupHostIpv4(const std::string& host, int timeoutMs, const CancelWatch& cancel);

}  // namespace adw::platform
