#include "engine/shell/window_layout.h"

#include <algorithm>
#include <charconv>

#include "engine/shell/settings_file.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

constexpr int kLargestSize = 100000;

std::optional<std::vector<int>> Numbers(std::string_view text, int minimum) {
  std::vector<int> numbers;
  const std::string trimmed = platform::Trim(text);
  std::string_view rest = trimmed;
  if (rest.empty()) return std::nullopt;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string item = platform::Trim(rest.substr(0, comma));
    int value = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || error != std::errc() || end != item.data() + item.size()) return std::nullopt;
    if (value < minimum || value > kLargestSize) return std::nullopt;
    numbers.push_back(value);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return numbers;
}

}  // namespace

std::optional<LayoutRect> ParseNormPos(std::string_view text) {
  const auto numbers = Numbers(text, -kLargestSize);
  if (!numbers || numbers->size() != 4) return std::nullopt;
  const auto& n = *numbers;
  if (n[2] <= n[0] || n[3] <= n[1]) return std::nullopt;
  return LayoutRect{n[0], n[1], n[2] - n[0], n[3] - n[1]};
}

LayoutRect RestoredWindowRect(const std::optional<LayoutRect>& stored, const LayoutRect& screen, int minWidth,
                              int minHeight) {
  LayoutRect r;
  if (stored) {
    r = *stored;
  } else {
    r.width = kDefaultWindowWidth;
    r.height = kDefaultWindowHeight;
  }
  r.width = std::max(minWidth, std::min(r.width, screen.width));
  r.height = std::max(minHeight, std::min(r.height, screen.height));
  if (!stored) {
    r.left = screen.left + std::max(0, (screen.width - r.width) / 2);
    r.top = screen.top + std::max(0, (screen.height - r.height) / 2);
    return r;
  }
  // Onto the free area: the right and bottom edges first, so that a window
  // larger than the screen ends up with its title bar visible.
  r.left = std::min(r.left, screen.left + screen.width - r.width);
  r.top = std::min(r.top, screen.top + screen.height - r.height);
  r.left = std::max(r.left, screen.left);
  r.top = std::max(r.top, screen.top);
  return r;
}

bool StoredMaximised(std::string_view showCmd) {
  return platform::Trim(showCmd) == "3";
}

std::vector<int> ParseSizes(std::string_view text) {
  auto numbers = Numbers(text, 0);
  return numbers ? std::move(*numbers) : std::vector<int>{};
}

std::string FormatSizes(const std::vector<int>& sizes) {
  std::string text;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(sizes[i]);
  }
  return text;
}

std::string SizesKey(std::string_view component) {
  return std::string(component) + "_Sizes";
}

std::string WidthsKey(std::string_view component) {
  return std::string(component) + "_Widths";
}

StoredLayout ReadStoredLayout(const std::string& settingsPath, const std::vector<std::string>& sizeKeys) {
  StoredLayout layout;
  const platform::IniFile file(settingsPath);
  const platform::IniDocument doc = file.Snapshot();
  layout.normal = ParseNormPos(doc.ReadString(kSettingsSection, kKeyNormPos, ""));
  layout.maximised = StoredMaximised(doc.ReadString(kSettingsSection, kKeyShowCmd, ""));
  const auto threads = Numbers(doc.ReadString(kSettingsSection, kKeyThreadCount, ""), 0);
  if (threads && threads->size() == 1) layout.threadCount = threads->front();
  for (const std::string& key : sizeKeys) {
    std::vector<int> sizes = ParseSizes(doc.ReadString(kSettingsSection, key, ""));
    if (!sizes.empty()) layout.sizes.emplace_back(key, std::move(sizes));
  }
  return layout;
}

void WriteLayoutSizes(const std::string& settingsPath,
                      const std::vector<std::pair<std::string, std::vector<int>>>& sizes) {
  std::vector<std::pair<std::string, std::string>> entries;
  entries.reserve(sizes.size());
  for (const auto& [key, values] : sizes) entries.emplace_back(key, FormatSizes(values));
  platform::IniFile(settingsPath).WriteStrings(kSettingsSection, entries);
}

}  // namespace adw::engine
