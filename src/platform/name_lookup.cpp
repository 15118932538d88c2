#include "platform/name_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace adw::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Shared by the caller and the helper thread; whichever leaves last frees it.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  LookupResult result;
};

LookupResult ResolveNow(const std::string& host) {
  LookupResult result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (rc != 0 || list == nullptr) {
    result.status = LookupStatus::NotFound;
    result.error = rc != 0 ? rc : EAI_NONAME;
    return result;
  }
  const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
  result.status = LookupStatus::Found;
  result.address = ntohl(in->sin_addr.s_addr);
  ::freeaddrinfo(list);
  return result;
}

}  // namespace

std::optional<std::uint32_t> ParseDottedIpv4(std::string_view text) {
  std::uint32_t address = 0;
  int parts = 0;
  std::size_t i = 0;
  while (parts < 4) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    unsigned value = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
      if (++digits > 3 || value > 255) return std::nullopt;
      ++i;
    }
    address = (address << 8) | value;
    ++parts;
    if (parts < 4) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
  }
  if (i != text.size()) return std::nullopt;
  return address;
}

LookupResult LookupHostIpv4(const std::string& host, int timeoutMs, const CancelWatch& cancel) {
  if (auto numeric = ParseDottedIpv4(host)) {
    LookupResult result;
    result.status = LookupStatus::Found;
    result.address = *numeric;
    return result;
  }
  if (cancel.Cancelled()) {
    LookupResult result;
    result.status = LookupStatus::Cancelled;
    return result;
  }
  if (host.empty() || host.find('\0') != std::string::npos) {
    LookupResult result;
    result.error = EAI_NONAME;
    return result;
  }

  auto pending = std::make_shared<PendingLookup>();
  try {
    std::thread([pending, host] {
      LookupResult resolved = ResolveNow(host);
      std::lock_guard<std::mutex> lock(pending->mutex);
      pending->result = resolved;
      pending->finished = true;
      pending->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: resolve here, without the time limit.
    return ResolveNow(host);
  }

  const auto deadline =
      timeoutMs > 0 ? Clock::now() + std::chrono::milliseconds(timeoutMs) : Clock::time_point::max();
  std::unique_lock<std::mutex> lock(pending->mutex);
  for (;;) {
    if (pending->finished) return pending->result;
    if (cancel.Cancelled()) {
      LookupResult result;
      result.status = LookupStatus::Cancelled;
      return result;
    }
    auto now = Clock::now();
    if (now >= deadline) {
      LookupResult result;
      result.status = LookupStatus::TimedOut;
      return result;
    }
    auto slice = std::min<Clock::duration>(std::chrono::milliseconds(kCancelSliceMs), deadline - now);
    pending->done.wait_for(lock, slice);
  }
}

std::optional<std::uint16_t> LookupServicePort(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string text(name);
  servent entry{};
  servent* found = nullptr;
  std::vector<char> scratch(4096);
  if (::getservbyname_r(text.c_str(), "tcp", &entry, scratch.data(), scratch.size(), &found) != 0 ||
      found == nullptr) {
    return std::nullopt;
  }
  return ntohs(static_cast<std::uint16_t>(found->s_port));
}

}  // namespace adw::platform
