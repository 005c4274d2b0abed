#include "report/html_text.h"

#include <cstdio>
#include <iterator>
#include <limits>

#include "core/native_string.h"
#include "orvane/format.h"

namespace orvane::engine::report {
namespace {

// Printable ASCII without a character that markup gives a meaning: most
// names and every number, which go in as they are.
bool NeedsNoEscape(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'')
            return false;
    }
    return true;
}

}  // namespace

std::string HtmlEscape(std::string_view utf8) {
    if (NeedsNoEscape(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size() + 16);
    // Text copied from an earlier report may be any bytes at all.
    for (char c : ToUtf8Lossy(utf8)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                // Control characters would make the document invalid.
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                    out += "&#xFFFD;";
                } else {
                    out.push_back(c);
                }
        }
    }
    return out;
}

std::string UrlEscape(std::string_view name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_') {
            out.push_back(c);
        } else {
            out += '%';
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

std::string HumanSize(std::uint64_t bytes) {
    static constexpr SizeUnitNames kNames{{"KB", "MB", "GB", "TB", "PB", "EB"}, " bytes", " byte"};
    return BinarySize(bytes, kNames);
}

std::string SizeSpan(std::uint64_t bytes, std::string_view id) {
    // A count that reached the largest value stopped there: the truth is more.
    const char* at_least = bytes == std::numeric_limits<std::uint64_t>::max() ? "at least " : "";
    std::string out = "<span";
    if (!id.empty()) out += " id=\"" + std::string(id) + "\"";
    out += std::string(" title=\"") + at_least + CommaGroupedDigits(bytes) + " bytes\">" +
           at_least + HumanSize(bytes) + "</span>";
    return out;
}

std::string ChangeSpan(std::uint64_t before, std::uint64_t after) {
    const bool grew = after >= before;
    const std::uint64_t change = grew ? after - before : before - after;
    const char* sign = change == 0 ? "" : grew ? "+" : "\u2212";
    const char* colour = change == 0 ? "" : grew ? " class=\"up\"" : " class=\"down\"";
    return std::string("<span") + colour + " title=\"" + sign + CommaGroupedDigits(change) +
           " bytes\">" + sign + HumanSize(change) + "</span>";
}

std::string ReadableTime(std::string_view iso) {
    if (iso.size() != 20 || iso[10] != 'T' || iso[19] != 'Z') return std::string(iso);
    return std::string(iso.substr(0, 10)) + " " + std::string(iso.substr(11, 8)) + " UTC";
}

std::string Shortened(std::string_view utf8, std::size_t max_chars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
        if (chars == max_chars) {
            // Room for the ellipsis: drop one more character.
            std::size_t cut = i;
            do {
                cut--;
            } while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80);
            return std::string(utf8.substr(0, cut)) + "\u2026";
        }
        chars++;
    }
    return std::string(utf8);
}

const char* PageStyle() {
    return R"(
:root { color-scheme: light; font-family: "Segoe UI", system-ui, sans-serif; font-size: 14px; color: #1b1b1b; }
body { margin: 0 auto; max-width: 1060px; padding: 16px 24px 40px; background: #fff; }
h1 { font-size: 22px; margin: 8px 0 2px; word-break: break-all; }
h2 { font-size: 17px; margin: 28px 0 8px; border-bottom: 1px solid #ddd; padding-bottom: 3px; }
p.meta, p.note { color: #555; margin: 2px 0; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: 3px 8px; border-bottom: 1px solid #eee; vertical-align: top; }
td.n, th.n { text-align: right; white-space: nowrap; }
td.path { word-break: break-all; }
tr:nth-child(even) td { background: #fafafa; }
.bar { display: flex; height: 26px; border: 1px solid #999; border-radius: 3px; overflow: hidden; margin: 6px 0 10px; }
.bar div { height: 100%; }
.found { background: #2f6fb5; } .hidden { background: #e69a28; } .free { background: #dcdcdc; }
.key { display: inline-block; width: 11px; height: 11px; margin-right: 6px; border: 1px solid #888; vertical-align: -1px; }
.up { color: #a33; } .down { color: #286e2d; }
svg.map { width: 100%; height: auto; border: 1px solid #999; display: block; }
svg.map text { font-size: 11px; fill: #111; pointer-events: none; }
svg.map rect { stroke: #fff; stroke-width: 0.6; }
svg.map .other rect { fill: #c9c9c9; }
.cards { display: flex; flex-wrap: wrap; gap: 6px 24px; margin: 6px 0; }
.cards div span:first-child { display: block; color: #555; font-size: 12px; }
.cards div span:last-child { font-size: 18px; }
a { color: #1a57a0; }
svg.map.replaced { display: none; }
svg.map.live { background: #f4f4f4; }
svg.map.live g[role=link] { cursor: pointer; }
svg.map.live g[role=link]:hover rect, svg.map.live g[role=link]:focus rect { stroke: #111; stroke-width: 2; }
svg.map.live text.size { fill: #333; }
svg.map.live g:focus { outline: none; }
.crumbs { margin: 8px 0 2px; font-size: 15px; word-break: break-all; }
.crumbs .sep { color: #777; }
p.focus { margin: 2px 0 6px; color: #333; word-break: break-all; }
ul.legend { list-style: none; padding: 0; margin: 6px 0; display: flex; flex-wrap: wrap; gap: 2px 16px; color: #333; }
.finder { margin: 6px 0 10px; }
.finder input { width: 22em; max-width: 100%; font: inherit; padding: 2px 4px; }
ol.hits { margin: 4px 0; padding-left: 1.6em; word-break: break-all; }
ol.hits .n { color: #555; white-space: nowrap; }
table.list { margin-top: 8px; }
table.list button.sort { font: inherit; font-weight: bold; border: 0; background: none; padding: 0; cursor: pointer; color: inherit; }
table.list tr.x-rest td { color: #555; font-style: italic; }
* { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
@media print {
  body { max-width: none; padding: 0; font-size: 11px; }
  section { break-inside: avoid-page; }
  table { break-inside: auto; } tr { break-inside: avoid; }
  a { color: inherit; text-decoration: none; }
}
)";
}

}  // namespace orvane::engine::report
