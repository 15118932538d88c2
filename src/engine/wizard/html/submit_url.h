#pragma once
// Where a captured form submission goes: the form's action read against the
// page it came from, the way a browser would send it.
#include <string>
#include <string_view>

namespace adw::engine {

// pageUrl is the URL box's text, baseHref the page's <base href> (empty when
// it has none) and action the form's action attribute as written. An
// absolute action is kept; a scheme-relative one takes the scheme of the
// base, a rooted one its host, any other relative one replaces the last path
// segment; "." and ".." segments are resolved. An empty action means the
// page itself, whatever the base says. Fragments are dropped.
std::string ResolveFormAction(std::string_view pageUrl, std::string_view baseHref, std::string_view action);

}  // namespace adw::engine
