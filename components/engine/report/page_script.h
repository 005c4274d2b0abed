// The report page's one script: it turns the static map into one that opens
// any kept folder, with the path back above it, a sortable list of what the
// folder holds and a search by name. It reads the tree from the page's JSON
// data block and sets every name as text, never as markup; the page's
// content security policy allows it, and only it, by its hash.
#pragma once

#include <string_view>

namespace orvane::engine::report {

std::string_view ExploreScript();

}  // namespace orvane::engine::report
