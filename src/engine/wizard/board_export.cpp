#include "engine/wizard/board_export.h"

#include "engine/base/board_container.h"
#include "engine/wizard/board_text.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

// A board file goes into the script directory itself; a name that climbs
// out of it or names a path is no file name there.
bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\\') == std::string_view::npos;
}

}  // namespace

std::vector<std::string> PreviewTextLines(std::string_view previewText) {
  std::vector<std::string> lines;
  if (previewText.empty()) return lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = previewText.find('\n', start);
    lines.emplace_back(previewText.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

void ExportBoardFile(const std::vector<std::string>& lines, const std::string& scriptDir,
                     const std::string& fileName, const std::string& tempDir) {
  const std::string plain = tempDir + "temp.prj";
  if (!adw::platform::WriteFileAtomic(plain, JoinPreviewLines(lines)))
    throw adw::platform::FileError("Cannot create file " + plain);
  const std::string target = scriptDir + fileName;
  // Without a stored script directory the target would be a file at the
  // root of the file system, and a path as the name would leave the script
  // directory: both are refused as the compressor refuses a missing one.
  if (adw::platform::Trim(scriptDir) == std::string(1, adw::platform::kPathSeparator) ||
      !IsPlainFileName(fileName))
    throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open output file : " + target);
  PackBoardFile(plain, target);
  adw::platform::RemoveFileQuiet(tempDir + "temp.html");
}

}  // namespace adw::engine
