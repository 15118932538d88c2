#pragma once
// A job's body: the board's captured form data with the ad's field values
// put in for their placeholders and, for a MAP line, the mapped form field
// set to the line's option value. The core works on texts only; the two
// wrappers below read the files.
#include <string>
#include <string_view>
#include <vector>

namespace adw::platform {
class IniFile;
}

namespace adw::engine {

// A field value as it goes into the body: "+", "&", "=" and "%" become
// %2B, %26, %3D and %25, so a form parser reads back exactly the typed text
// and a value cannot split its pair. Every other byte stays as it is.
std::string EscapeFieldValue(std::string_view value);

// subBody: the board's SUBBODY; adLines: the ad's section as key=value
// lines in file order; mapLine: one MAP line or empty.
std::string BuildJobBody(std::string_view subBody, const std::vector<std::string>& adLines,
                         std::string_view mapLine);

// The bytes a board wants its body in, by its CODE: "KOI8-R" (exactly so,
// as boards have always been written), "UTF-8" (any case, also "UTF8"), and
// Windows-1251 for everything else ("WIN1251", "ISO", none).
enum class BoardCodePage { Win1251, Koi8R, Utf8 };
BoardCodePage BoardCodePageOf(std::string_view code);

// A value encoded as a browser encodes form data: every byte outside the
// letters A-Z and a-z, the digits and "*-._" as %XX, a blank as "+".
std::string EncodeFormValue(std::string_view bytes);

// A job's body in the board's code page. Windows-1251 and KOI8-R bodies are
// built as above (KOI8-R then translated). A UTF-8 body puts each ad value
// in as its UTF-8 bytes encoded by EncodeFormValue, then the whole body is
// converted to UTF-8: the captured SUBBODY and the MAP value keep their
// text, now in UTF-8.
std::string BuildJobBody(std::string_view subBody, const std::vector<std::string>& adLines,
                         std::string_view mapLine, BoardCodePage codePage);

// The group value of a category value, from the "Variab" lines of the
// variables map; empty when the category value is empty or no line holds
// its group key.
std::string LookupGroupValue(std::string_view categoryValue, const std::vector<std::string>& variabLines);

// A section of an INI file as key=value lines in file order, each key once,
// empty values included.
std::vector<std::string> ReadSectionLines(const platform::IniFile& file, std::string_view section);

// The same over the open files: SUBBODY of the board file's "Project"
// section and the ad's section of the ad store.
std::string BuildJobBody(const platform::IniFile& boardFile, const platform::IniFile& adStore,
                         std::string_view adName, std::string_view mapLine);
// Over the variables map's "Variab" section.
std::string LookupGroupValue(const platform::IniFile& variablesMap, std::string_view categoryValue);

}  // namespace adw::engine
