#pragma once
// Text made safe inside an HTML element or a quoted attribute: the one
// escaper of every page the program writes (result pages, reports, the
// wizard's failure page).
#include <string>
#include <string_view>

namespace adw::platform {

std::string HtmlEscape(std::string_view text);

}  // namespace adw::platform
