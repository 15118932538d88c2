#pragma once
// Texts the wizard composes: the fetched page made ready for the viewer and
// the field tree, and the board description shown on the Preview page.
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

// The entries of the code page box, by index ("WIN1251", "KOI8-R", "ISO",
// "UTF-8"); -1 (nothing picked) gives "".
inline constexpr int kCodePageCount = 4;
std::string CodePageText(int codeIndex);

// The fetched bytes as the viewer and the field tree get them: lines joined
// with nothing between them (a CR is dropped with an LF right after it; an
// LF without a CR stays), then decoded by the code page box's index:
// 1 "KOI8-R" and 2 "ISO" are translated to Windows-1251, 3 "UTF-8" is
// converted to it (a byte order mark dropped), anything else is left as it
// is. A Ctrl+Z character is dropped and the text after it kept.
std::string PreparePageText(std::string_view bytes, int codeIndex);
// The same, noting the characters of a UTF-8 page that Windows-1251 lacks
// (each once), which became "?".
std::string PreparePageText(std::string_view bytes, int codeIndex, std::vector<char32_t>& replaced);

// What the Preview text is made of: the wizard's boxes, its captured
// submission, the field tree's binding lines and the viewer's three texts.
struct TPreviewSource {
  std::string boardName;  // edProjName as typed, not trimmed
  std::string capturedSubmitURL;
  std::string capturedBody;
  std::string capturedPageURL;
  std::string codePage;  // the code page box's text
  // The texts that tell a taken ad from a refused one: offered for the
  // user to fill, OK= with the wizard's guess when it has one.
  std::string okSuggestion;
  // FRESH=1: the captured form had hidden fields or the page set a cookie.
  bool fresh = false;
  std::vector<std::string> bindingLines;
  std::string currentLinkURL;
  std::string documentBase;
  std::string documentBaseTarget;
};

// The lines of the board description in the order the board file expects.
std::vector<std::string> ComposePreviewLines(const TPreviewSource& source);
// The lines as one text, each line ended with CR LF.
std::string JoinPreviewLines(const std::vector<std::string>& lines);

}  // namespace adw::engine
