#pragma once
// Storing the wizard's board description as a board file in the script
// directory, where the board list finds it.
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

// The Preview text as description lines: split at its line breaks; an
// empty text has no lines.
std::vector<std::string> PreviewTextLines(std::string_view previewText);

// Writes the lines, each ended with CR LF, to temp.prj in tempDir (which
// ends with a separator) and packs it as scriptDir + fileName (scriptDir as
// StoredScriptDir gives it, with its trailing separator); then deletes the
// wizard's temp.html from tempDir. Throws adw::platform::FileError when
// temp.prj cannot be written and ELzrw1Exception ("Failed to open output
// file") when there is no stored script directory or fileName is no plain
// file name in it; the compressor's own errors pass through. temp.prj
// stays in every case.
void ExportBoardFile(const std::vector<std::string>& lines, const std::string& scriptDir,
                     const std::string& fileName, const std::string& tempDir);

}  // namespace adw::engine
