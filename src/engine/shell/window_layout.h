#pragma once
// The window's layout as it is kept between starts: the placement keys the
// form storage writes (NormPos, ShowCmd) read back, and the sizes of the
// splitters and grid columns, each a list of whole numbers under a key of
// its own ("spTree_Sizes", "DBGridFields_Widths").
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace adw::engine {

struct LayoutRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// "left,top,right,bottom" as the storage writes NormPos; nullopt for text
// that is not four whole numbers or a rectangle without area.
std::optional<LayoutRect> ParseNormPos(std::string_view text);

// The size the window opens with when nothing is stored: roomy enough for
// every panel to show whole, yet never larger than the screen's free area.
inline constexpr int kDefaultWindowWidth = 800;
inline constexpr int kDefaultWindowHeight = 560;

// Where the window opens. A stored rectangle is taken as it is when it
// lies on the screen's free area; one that would stick out (the screen got
// smaller, a monitor went away) is shrunk to fit and moved onto it, and
// never made smaller than the minimum. Without one the default size,
// centred. nullopt position fields are not used: the result is complete.
LayoutRect RestoredWindowRect(const std::optional<LayoutRect>& stored, const LayoutRect& screen, int minWidth,
                              int minHeight);

// ShowCmd: 3 is a maximised window.
bool StoredMaximised(std::string_view showCmd);

// A list of sizes as stored ("185,412"); empty for text that is not a
// list of whole numbers from 0 to 100000.
std::vector<int> ParseSizes(std::string_view text);
std::string FormatSizes(const std::vector<int>& sizes);

// Keys of the kept sizes.
std::string SizesKey(std::string_view component);   // component + "_Sizes"
std::string WidthsKey(std::string_view component);  // component + "_Widths"
inline constexpr std::string_view kKeyShowCmd = "ShowCmd";
inline constexpr std::string_view kKeyNormPos = "NormPos";

// Reads the section "Save" of the settings file once.
struct StoredLayout {
  std::optional<LayoutRect> normal;
  bool maximised = false;
  std::optional<int> threadCount;                               // RxSEdPost_Value, when it is a whole number
  std::vector<std::pair<std::string, std::vector<int>>> sizes;  // key and sizes, for the keys asked
};
StoredLayout ReadStoredLayout(const std::string& settingsPath, const std::vector<std::string>& sizeKeys);

// Writes the given keys in one atomic rewrite of the settings file.
void WriteLayoutSizes(const std::string& settingsPath,
                      const std::vector<std::pair<std::string, std::vector<int>>>& sizes);

}  // namespace adw::engine
