#include "report/html_method.h"

#include "report/html_text.h"

namespace orvane::engine::report {
namespace {

std::string Count(std::uint64_t value) { return std::to_string(value); }

std::string TableSentence(const ScanMethodNote& method) {
    return "Made by reading the volume\u2019s file table: " + Count(method.records_in_use) +
           " records, " + Count(method.damaged_records) + " damaged (skipped), " +
           Count(method.orphaned_records) +
           " in use outside the folder tree (orphans). What the used space outside the tree holds:";
}

std::string WalkSentence(const ReportAddenda& addenda) {
    std::string out = "Made by walking the folders.";
    if (addenda.method.table_unavailable.empty()) return out;
    out += " The file table was not read: " + HtmlEscape(addenda.method.table_unavailable) + ".";
    if (addenda.ledger) {
        out +=
            " On Windows the space not visible to a walk holds the file system\u2019s metadata "
            "(the file table, the log, the indexes) and, where it cannot be read, System "
            "Volume Information (restore points and shadow copies). Run as administrator, "
            "the analysis reads the file table and accounts for all of it.";
    }
    return out;
}

std::string ExplainedTable(const ExplainedBytes& e) {
    const std::pair<const char*, std::uint64_t> rows[] = {
        {"File system metadata", e.metadata},
        {"Folder indexes", e.folder_indexes},
        {"Alternate data streams", e.alternate_streams},
        {"Other attributes (attribute lists, security, reparse and extended-attribute data)",
         e.other_attributes},
        {"Orphaned and damaged records", e.orphaned_damaged},
    };
    std::string out = "<table id=\"explained\">\n";
    for (const auto& [label, bytes] : rows)
        out += std::string("<tr><td>") + label + "</td><td class=\"n\">" + SizeSpan(bytes) +
               "</td></tr>\n";
    return out + "</table>\n";
}

}  // namespace

std::string MethodSection(const ReportAddenda& addenda) {
    std::string out = "<section id=\"method\">\n<p class=\"note\">";
    out += addenda.method.file_table ? TableSentence(addenda.method) : WalkSentence(addenda);
    out += "</p>\n";
    if (addenda.ledger && addenda.ledger->explained)
        out += ExplainedTable(*addenda.ledger->explained);
    return out + "</section>\n";
}

}  // namespace orvane::engine::report
