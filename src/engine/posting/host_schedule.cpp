#include "engine/posting/host_schedule.h"

#include <algorithm>
#include <unordered_map>

#include "engine/posting/run_results.h"
#include "engine/shell/settings_file.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

int ReadHostLimit(const std::string& settingsPath) {
  const std::string text =
      platform::Trim(platform::IniFile(settingsPath).ReadString(kSettingsSection, kKeyHostLimit, ""));
  if (text.empty() || text.size() > 2) return kDefaultHostLimit;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return kDefaultHostLimit;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 30 ? value : kDefaultHostLimit;
}

void SaveHostLimit(const std::string& settingsPath, int limit) {
  platform::IniFile settings(settingsPath);
  constexpr std::string_view kAbsent = "\x01";
  const bool stored = settings.ReadString(kSettingsSection, kKeyHostLimit, kAbsent) != kAbsent;
  if (!stored && limit == kDefaultHostLimit) return;
  settings.WriteString(kSettingsSection, kKeyHostLimit, std::to_string(limit));
}

std::optional<int> ParseBoardDelay(std::string_view text) {
  const std::string value = platform::Trim(text);
  if (value.empty()) return 0;
  long long whole = 0;
  long long fractionMs = 0;
  std::size_t at = 0;
  std::size_t digits = 0;
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at, ++digits) {
    whole = whole * 10 + (value[at] - '0');
    if (whole > 86400) return std::nullopt;
  }
  if (at < value.size() && (value[at] == '.' || value[at] == ',')) {
    ++at;
    long long scale = 100;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at, ++digits) {
      fractionMs += (value[at] - '0') * scale;
      scale /= 10;
    }
  }
  if (at != value.size() || digits == 0) return std::nullopt;
  const long long ms = whole * 1000 + fractionMs;
  if (ms > 86400LL * 1000) return std::nullopt;
  return static_cast<int>(ms);
}

std::string HostKey(std::string_view url) {
  const std::string lower = platform::LowerAscii(platform::Trim(url));
  std::string_view rest(lower);
  std::string port;
  const std::size_t scheme = rest.find("://");
  if (scheme != std::string_view::npos) {
    const std::string_view name = rest.substr(0, scheme);
    if (name == "https") port = "443";
    if (name == "http") port = "80";
    rest.remove_prefix(scheme + 3);
  } else {
    port = "80";
  }
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
  std::string_view host = rest;
  const std::size_t bracket = rest.rfind(']');
  const std::size_t colon = rest.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    host = rest.substr(0, colon);
    port = std::string(rest.substr(colon + 1));
  }
  if (host.empty() || port.empty()) return "?" + lower;
  return std::string(host) + ":" + port;
}

HostSchedule::HostSchedule(const std::vector<std::string>& urls, const std::vector<std::string>& labels,
                           const std::vector<int>& delaysMs) {
  std::unordered_map<std::string, int> hostIds;
  std::unordered_map<std::string, int> boardIds;
  std::unordered_map<long long, int> laneIds;
  const std::size_t count = urls.size();
  m_jobHost.resize(count);
  m_jobBoard.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    const auto [hostIt, newHost] = hostIds.emplace(HostKey(urls[k]), static_cast<int>(m_hosts.size()));
    if (newHost) m_hosts.emplace_back();
    const std::string boardName = k < labels.size() ? SplitJobLabel(labels[k]).first : std::string();
    const auto [boardIt, newBoard] = boardIds.emplace(boardName, static_cast<int>(m_boards.size()));
    if (newBoard) m_boards.emplace_back();
    Board& board = m_boards[static_cast<std::size_t>(boardIt->second)];
    // Boards are named once per file, so all their jobs carry one DELAY;
    // should they differ, the longest spacing is kept.
    if (k < delaysMs.size()) board.delayMs = std::max(board.delayMs, delaysMs[k]);

    const long long laneKey = static_cast<long long>(hostIt->second) << 32 | boardIt->second;
    const auto [laneIt, newLane] = laneIds.emplace(laneKey, static_cast<int>(m_lanes.size()));
    if (newLane) {
      m_lanes.push_back(Lane{boardIt->second, {}, 0});
      m_hosts[static_cast<std::size_t>(hostIt->second)].lanes.push_back(laneIt->second);
    }
    m_lanes[static_cast<std::size_t>(laneIt->second)].jobs.push_back(static_cast<int>(k));
    m_jobHost[k] = hostIt->second;
    m_jobBoard[k] = boardIt->second;
  }
  for (std::size_t h = 0; h < m_hosts.size(); ++h) m_activeHosts.push_back(static_cast<int>(h));
  m_waiting = count;
}

bool HostSchedule::BoardReady(const Board& board, Clock::time_point now) const {
  return board.delayMs <= 0 || (board.inFlight == 0 && now >= board.readyAt);
}

std::optional<int> HostSchedule::Next(Clock::time_point now, int hostLimit) {
  const std::size_t hostCount = m_activeHosts.size();
  for (std::size_t step = 0; step < hostCount; ++step) {
    const std::size_t position = (m_turn + step) % hostCount;
    Host& host = m_hosts[static_cast<std::size_t>(m_activeHosts[position])];
    if (hostLimit > 0 && host.inFlight >= hostLimit) continue;
    const std::size_t laneCount = host.lanes.size();
    for (std::size_t laneStep = 0; laneStep < laneCount; ++laneStep) {
      const std::size_t lanePosition = (host.turn + laneStep) % laneCount;
      Lane& lane = m_lanes[static_cast<std::size_t>(host.lanes[lanePosition])];
      Board& board = m_boards[static_cast<std::size_t>(lane.board)];
      if (lane.Empty() || !BoardReady(board, now)) continue;
      const int job = lane.jobs[lane.next++];
      ++host.inFlight;
      ++board.inFlight;
      --m_waiting;
      host.turn = lanePosition + 1;
      if (lane.Empty()) {
        std::erase(host.lanes, host.lanes[lanePosition]);
        if (host.turn > lanePosition) --host.turn;
        if (host.lanes.empty())
          host.turn = 0;
        else
          host.turn %= host.lanes.size();
      }
      // The next pick starts at the host after this one.
      m_turn = position + 1;
      if (host.lanes.empty()) {
        m_activeHosts.erase(m_activeHosts.begin() + static_cast<std::ptrdiff_t>(position));
        m_turn = position;
      }
      if (!m_activeHosts.empty())
        m_turn %= m_activeHosts.size();
      else
        m_turn = 0;
      return job;
    }
  }
  return std::nullopt;
}

void HostSchedule::Finished(int job, Clock::time_point now) {
  if (job < 0 || static_cast<std::size_t>(job) >= m_jobHost.size()) return;
  Host& host = m_hosts[static_cast<std::size_t>(m_jobHost[static_cast<std::size_t>(job)])];
  Board& board = m_boards[static_cast<std::size_t>(m_jobBoard[static_cast<std::size_t>(job)])];
  if (host.inFlight > 0) --host.inFlight;
  if (board.inFlight > 0) --board.inFlight;
  board.readyAt = now + std::chrono::milliseconds(board.delayMs);
}

std::optional<HostSchedule::Clock::time_point> HostSchedule::NextDelayEnd(Clock::time_point now,
                                                                          int hostLimit) const {
  std::optional<Clock::time_point> earliest;
  for (const int hostId : m_activeHosts) {
    const Host& host = m_hosts[static_cast<std::size_t>(hostId)];
    if (hostLimit > 0 && host.inFlight >= hostLimit) continue;
    for (const int laneId : host.lanes) {
      const Board& board =
          m_boards[static_cast<std::size_t>(m_lanes[static_cast<std::size_t>(laneId)].board)];
      if (board.delayMs <= 0 || board.inFlight > 0 || board.readyAt <= now) continue;
      if (!earliest || board.readyAt < *earliest) earliest = board.readyAt;
    }
  }
  return earliest;
}

}  // namespace adw::engine
