#pragma once
// A guess at the text a board shows when it has taken an ad, for the
// wizard's OK= line. Boards often ship the message in the form's page
// already (an element marked as the success message, shown by a script
// after posting); when the page has no such element there is nothing to
// guess from, and the line stays for the user to fill.
#include <string>
#include <string_view>

namespace adw::engine {

// The text of the first element whose class or id names a success or a
// thank-you ("success", "thank", "confirm", Latin letters in any case),
// tags dropped, blanks collapsed; empty when there is none or its text is
// shorter than 3 or longer than 120 characters.
std::string SuggestOkText(std::string_view pageText);

}  // namespace adw::engine
