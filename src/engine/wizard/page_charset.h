#pragma once
// Which code page a fetched board page is written in, as a browser finds
// it: a UTF-8 byte order mark, else the charset of the reply's
// Content-Type, else the page's own <meta charset> or <meta http-equiv=
// "Content-Type" content="...; charset=...">. The wizard preselects its
// code page box by it.
#include <string>
#include <string_view>

namespace adw::engine {

// The code page box's index for a charset label (0 "WIN1251", 1 "KOI8-R",
// 2 "ISO", 3 "UTF-8"); -1 for a label the box has no entry for.
int CodePageIndexOfCharset(std::string_view label);

// The charset parameter of a Content-Type value, unquoted and trimmed;
// empty when there is none.
std::string CharsetOfContentType(std::string_view contentType);

// The charset the page's head names in a meta element; empty when none.
std::string CharsetOfMeta(std::string_view page);

// The code page box's index for a fetched page, -1 when nothing names a
// code page the box offers.
int DetectPageCodePage(std::string_view contentType, std::string_view page);

}  // namespace adw::engine
