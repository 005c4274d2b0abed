// Text pieces the HTML pages share: escaping, sizes in human units with the
// exact bytes on hover, dates.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane::engine::report {

// &, <, >, " and ' as entities: safe in text and in quoted attributes.
std::string HtmlEscape(std::string_view utf8);
// A file name as a relative link: everything but letters, digits and -._
// percent-encoded, so no name can become a scheme, a query or a path above.
std::string UrlEscape(std::string_view name);
// Binary units with one decimal, named KB, MB, GB, TB (1 KB = 1,024 bytes,
// as the pages state once); below 1 KB "512 bytes".
std::string HumanSize(std::uint64_t bytes);
// <span title="1,234,567 bytes">1.2 MB</span>; `id` is optional.
std::string SizeSpan(std::uint64_t bytes, std::string_view id = {});
// "+1.2 MB" / "-300.0 KB" for after - before, with the exact change on hover.
std::string ChangeSpan(std::uint64_t before, std::uint64_t after);
// "2026-12-07T20:22:34Z" -> "2026-12-07 20:22:34 UTC".
std::string ReadableTime(std::string_view iso);
// The start of `utf8` that fits `max_chars` characters, with "…" when cut.
std::string Shortened(std::string_view utf8, std::size_t max_chars);
// The style sheet both pages use.
const char* PageStyle();

}  // namespace orvane::engine::report
