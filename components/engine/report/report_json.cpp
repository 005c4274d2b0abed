#include "report/report_json.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

#include "orvane/buffered_text.h"
#include "orvane/format.h"

namespace orvane::engine {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendJsonString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    std::size_t plain = 0;  // where the run of characters written as they are began
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        out.append(utf8, plain, i - plain);
        plain = i + 1;
        switch (byte) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out.push_back(kHexDigits[byte >> 4]);
                out.push_back(kHexDigits[byte & 0xF]);
        }
    }
    out.append(utf8, plain);
    out.push_back('"');
}

// Writes a JSON object's members one after the other with the right commas.
class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void BeginObject() { Open('{'); }
    // An object on one line: a tree of thousands of folders stays a few
    // hundred kilobytes smaller and quicker to write.
    void BeginLineObject() {
        Open('{');
        if (line_depth_ == 0) line_depth_ = depth_;
    }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // Keys are the format's own names, which need no escaping.
    void Key(std::string_view key) {
        Separate();
        out_ += '"';
        out_ += key;
        out_ += "\": ";
        after_key_ = true;
    }
    void String(std::string_view utf8) {
        Separate();
        AppendJsonString(out_, utf8);
    }
    void Number(std::uint64_t value) {
        Separate();
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_.append(digits, end);
    }
    void NumberField(std::string_view key, std::uint64_t value) {
        Key(key);
        Number(value);
    }
    // The text, for items of the open array appended to it directly in this
    // writer's layout; ItemsAppended then tells the writer that there are some.
    std::string& Text() { return out_; }
    void ItemsAppended() { first_ = false; }
    void Raw(std::string_view text) {
        Separate();
        out_ += text;
    }
    // A native name as "field": UTF-8, and "field_raw": hex when it was not valid.
    void NativeField(std::string_view field, NativeStringView text) {
        Key(field);
        const bool valid = IsValidNativeText(text);
        // Valid UTF-8 names (every name, nearly, on POSIX) go in as they are,
        // without a converted copy: a report lists tens of thousands.
#ifndef _WIN32
        if (valid) return String(text);
#endif
        String(ToUtf8Lossy(text));
        if (!valid) {
            Key(std::string(field) + "_raw");
            String(NativeHex(text));
        }
    }

private:
    void Separate() {
        if (after_key_) {
            after_key_ = false;
            return;
        }
        if (!first_) out_ += ",";
        if (line_depth_ != 0) {
            if (!first_) out_ += " ";
        } else if (depth_ > 0) {
            out_ += "\n";
            out_.append(depth_ * 2, ' ');
        }
        first_ = false;
    }
    void Open(char bracket) {
        Separate();
        out_.push_back(bracket);
        depth_++;
        first_ = true;
    }
    void Close(char bracket) {
        const bool in_line = line_depth_ != 0;
        if (depth_ == line_depth_) line_depth_ = 0;
        depth_--;
        if (!first_ && !in_line) {
            out_ += "\n";
            out_.append(depth_ * 2, ' ');
        }
        out_.push_back(bracket);
        first_ = false;
    }

    std::string& out_;
    int depth_ = 0;
    int line_depth_ = 0;  // depth of the one-line object being written, 0: none
    bool first_ = true;
    bool after_key_ = false;
};

}  // namespace

// "2026-12-07T20:22:34Z", computed without the C library's time zone state so
// it is the same on every platform and thread-safe.
std::string Iso8601Utc(std::chrono::system_clock::time_point when) {
    auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) rest += 86400, days -= 1;
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    std::int64_t z = days + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t year = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    if (month <= 2) year++;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return buffer;
}

namespace {

void WriteTotals(JsonWriter& json, const ScanTotals& totals) {
    json.Key("totals");
    json.BeginObject();
    json.NumberField("files", totals.files);
    json.NumberField("folders", totals.folders);
    json.NumberField("entries", totals.files + totals.folders);
    json.NumberField("allocated_bytes", totals.allocated_bytes);
    json.NumberField("apparent_bytes", totals.apparent_bytes);
    json.Key("bytes_saturated");
    json.Raw(totals.bytes_saturated ? "true" : "false");
    json.Key("hard_links_exact");
    json.Raw(totals.hard_links_exact ? "true" : "false");
    json.NumberField("unreadable_folders", totals.unreadable_folders);
    json.Key("duration_seconds");
    json.Raw(orvane::SecondsText(totals.duration));
    json.EndObject();
}

void WriteSizes(JsonWriter& json, std::uint64_t allocated, std::uint64_t apparent) {
    json.NumberField("allocated_bytes", allocated);
    json.NumberField("apparent_bytes", apparent);
}

// "largest_files": each file named by `field` (a path, or a name in its
// folder) with its sizes.
template <typename File, typename NameOf>
void WriteFileList(JsonWriter& json, std::string_view field, const std::vector<File>& files,
                   NameOf name_of) {
    json.Key("largest_files");
    json.BeginArray();
    for (const File& file : files) {
        json.BeginObject();
        json.NativeField(field, name_of(file));
        WriteSizes(json, file.allocated_bytes, file.apparent_bytes);
        json.EndObject();
    }
    json.EndArray();
}
void WriteLists(JsonWriter& json, const ScanResult& result) {
    json.Key("largest_folders");
    json.BeginArray();
    for (const FolderSize& folder : result.largest_folders) {
        json.BeginObject();
        json.NativeField("path", folder.path);
        WriteSizes(json, folder.allocated_bytes, folder.apparent_bytes);
        json.NumberField("files", folder.files);
        json.NumberField("folders", folder.folders);
        json.EndObject();
    }
    json.EndArray();

    WriteFileList(json, "path", result.largest_files,
                  [](const FileSize& f) -> NativeStringView { return f.path; });

    json.Key("largest_types");
    json.BeginArray();
    for (const FileTypeSize& type : result.largest_types) {
        json.BeginObject();
        json.NativeField("extension", type.extension);
        json.NumberField("files", type.files);
        WriteSizes(json, type.allocated_bytes, type.apparent_bytes);
        json.EndObject();
    }
    json.EndArray();

    json.Key("unreadable_folders");
    json.BeginArray();
    for (const UnreadableFolder& folder : result.unreadable) {
        json.BeginObject();
        json.NativeField("path", folder.path);
        json.Key("reason");
        json.String(OpenErrorName(folder.reason));
        json.EndObject();
    }
    json.EndArray();
}

// The tree is most of a big report, thousands of folders and tens of
// thousands of file names: it is written line by line straight into the text,
// in the layout the writer gives a one-line object, without its bookkeeping.

// A name that needs nothing done to it (nearly every one): printable ASCII
// without a quote or backslash.
bool IsPlainName(NativeStringView name) {
    for (const NativeChar c : name) {
        const auto unit = static_cast<std::make_unsigned_t<NativeChar>>(c);
        if (unit < 0x20 || unit > 0x7E || unit == '"' || unit == '\\') return false;
    }
    return true;
}

// "name": ..., and "name_raw": ... after it when the name is not valid text.
void WriteName(BufferedText& text, NativeStringView name) {
    text.Append("\"name\": ");
    if (IsPlainName(name)) {
        text.Append('"');
        text.AppendAscii(name);
        text.Append('"');
        return;
    }
    std::string& out = text.Flushed();
    const bool valid = IsValidNativeText(name);
    AppendJsonString(out, ToUtf8Lossy(name));
    if (valid) return;
    out += ", \"name_raw\": ";
    AppendJsonString(out, NativeHex(name));
}

// `key` holds the comma before it and the colon after it.
void WriteField(BufferedText& text, std::string_view key, std::uint64_t value) {
    text.Append(key);
    text.AppendNumber(value);
}

// The members of FolderSums, without a leading comma.
void WriteSums(BufferedText& text, const FolderSums& sums) {
    WriteField(text, "\"allocated_bytes\": ", sums.allocated_bytes);
    WriteField(text, ", \"apparent_bytes\": ", sums.apparent_bytes);
    WriteField(text, ", \"files\": ", sums.files);
    WriteField(text, ", \"folders\": ", sums.folders);
}

// [name, allocated bytes, apparent bytes], and the name's hex as a fourth
// item when it is not valid text: a fraction of an object's size and time.
void WriteTreeFile(BufferedText& text, const TreeFile& file) {
    text.Append('[');
    const bool plain = IsPlainName(file.name);
    if (plain) {
        text.Append('"');
        text.AppendAscii(NativeStringView(file.name));
        text.Append('"');
    } else {
        AppendJsonString(text.Flushed(), ToUtf8Lossy(file.name));
    }
    WriteField(text, ", ", file.allocated_bytes);
    WriteField(text, ", ", file.apparent_bytes);
    if (!plain && !IsValidNativeText(file.name)) {
        text.Append(", ");
        AppendJsonString(text.Flushed(), NativeHex(file.name));
    }
    text.Append(']');
}

void WriteOwnFiles(BufferedText& text, const TreeFolder& folder) {
    text.Append(", \"largest_files\": [");
    for (std::size_t i = 0; i < folder.largest_files.size(); ++i) {
        if (i) text.Append(", ");
        WriteTreeFile(text, folder.largest_files[i]);
    }
    WriteField(text,
               "], \"other_files\": {\"allocated_bytes\": ", folder.other_files.allocated_bytes);
    WriteField(text, ", \"apparent_bytes\": ", folder.other_files.apparent_bytes);
    WriteField(text, ", \"files\": ", folder.other_files.files);
    text.Append('}');
}

void WriteTreeFolder(BufferedText& text, const TreeFolder& folder) {
    text.Append('{');
    WriteName(text, folder.name);
    if (folder.parent != TreeFolder::kNoParent) WriteField(text, ", \"parent\": ", folder.parent);
    text.Append(", ");
    WriteSums(text, folder.subtree);
    text.Append(", \"other\": {");
    WriteSums(text, folder.other);
    text.Append('}');
    WriteOwnFiles(text, folder);
    text.Append('}');
}

void WriteTree(JsonWriter& json, const FolderTree& tree) {
    json.Key("tree");
    json.BeginObject();
    json.NumberField("limit", tree.limit);
    json.Key("folders");
    json.BeginArray();
    // The folders' lines go in as the writer would put one-line objects.
    {
        BufferedText text(json.Text());
        for (std::size_t i = 0; i < tree.folders.size(); ++i) {
            text.Append(i ? ",\n      " : "\n      ");
            WriteTreeFolder(text, tree.folders[i]);
        }
    }
    if (!tree.folders.empty()) json.ItemsAppended();
    json.EndArray();
    json.EndObject();
}

void WriteExplained(JsonWriter& json, const ExplainedBytes& explained) {
    json.Key("explained");
    json.BeginObject();
    json.NumberField("metadata", explained.metadata);
    json.NumberField("folder_indexes", explained.folder_indexes);
    json.NumberField("alternate_streams", explained.alternate_streams);
    json.NumberField("other_attributes", explained.other_attributes);
    json.NumberField("orphaned_damaged", explained.orphaned_damaged);
    json.EndObject();
}

void WriteLedger(JsonWriter& json, const Ledger& ledger) {
    json.Key("ledger");
    json.BeginObject();
    const std::pair<const char*, std::uint64_t> fields[] = {
        {"volume_bytes", ledger.volume_bytes},
        {"free_bytes", ledger.free_bytes},
        {"used_bytes", ledger.used_bytes},
        {"found_bytes", ledger.found_bytes},
    };
    for (const auto& [key, value] : fields) {
        json.Key(key);
        json.Number(value);
    }
    json.Key("remainder_bytes");
    json.Raw(std::to_string(ledger.remainder_bytes));
    json.NumberField("unreadable_folders", ledger.unreadable_folders);
    json.NumberField("online_only_bytes", ledger.online_only_bytes);
    json.NumberField("compression_saved_bytes", ledger.compression_saved_bytes);
    if (!ledger.volume_serial.empty()) {
        json.Key("volume_serial");
        json.String(ledger.volume_serial);
    }
    if (ledger.explained) WriteExplained(json, *ledger.explained);
    json.EndObject();
}

void WriteMethod(JsonWriter& json, const ScanMethodNote& method) {
    json.Key("method");
    json.String(method.file_table ? "file_table" : "walk");
    if (method.file_table) {
        json.Key("file_table");
        json.BeginObject();
        json.NumberField("records_in_use", method.records_in_use);
        json.NumberField("damaged_records", method.damaged_records);
        json.NumberField("orphaned_records", method.orphaned_records);
        json.EndObject();
    } else if (!method.table_unavailable.empty()) {
        json.Key("file_table_unavailable");
        json.String(method.table_unavailable);
    }
}

void WritePrevious(JsonWriter& json, const PreviousTotals& previous) {
    json.Key("previous");
    json.BeginObject();
    // Both come from the earlier report or its file name: text of any
    // program, made valid here whatever it was.
    json.Key("started_at");
    json.String(ToUtf8Lossy(previous.started_at));
    if (!previous.report.empty()) {
        json.Key("report");
        json.String(ToUtf8Lossy(previous.report));
    }
    json.Key("totals");
    json.BeginObject();
    json.NumberField("files", previous.files);
    json.NumberField("folders", previous.folders);
    WriteSizes(json, previous.allocated_bytes, previous.apparent_bytes);
    json.EndObject();
    if (previous.used_bytes) {
        json.NumberField("used_bytes", *previous.used_bytes);
    }
    json.EndObject();
}

void WriteChanges(JsonWriter& json, const ReportChanges& changes) {
    json.Key("changes");
    json.BeginObject();
    WritePrevious(json, changes.previous);
    json.Key("largest_changes");
    json.BeginArray();
    for (const SizeChange& change : changes.largest_changes) {
        json.BeginLineObject();
        json.NativeField("path", change.path);
        json.Key("kind");
        json.String(change.folder ? "folder" : "file");
        json.Key("change");
        json.String(ChangeKindName(change.change));
        json.NumberField("allocated_before", change.allocated_before);
        json.NumberField("allocated_after", change.allocated_after);
        if (change.bound != SizeBound::kNone) {
            json.Key("at_most");
            json.String(change.bound == SizeBound::kBefore ? "before" : "after");
        }
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

}  // namespace

std::string ReportJson(const ScanResult& result, const ReportAddenda& addenda) {
    std::string out;
    // The tree is most of a big report: room for it up front spares copying
    // megabytes each time the text outgrows its buffer.
    std::size_t tree_files = 0;
    for (const TreeFolder& folder : result.tree.folders) tree_files += folder.largest_files.size();
    out.reserve(16384 + 300 * result.tree.folders.size() + 40 * tree_files);
    JsonWriter json(out);
    json.BeginObject();
    json.Key("format");
    json.String("orvane-analysis-report");
    json.NumberField("version", 4);
    json.NativeField("root", result.root);
    json.Key("status");
    json.String(StatusName(result.status));
    if (result.status == ScanStatus::kRootUnreadable) {
        json.Key("root_error");
        json.String(OpenErrorName(result.root_error));
    }
    json.Key("started_at");
    json.String(Iso8601Utc(result.started_at));
    json.NumberField("threads", result.threads);
    WriteMethod(json, addenda.method);
    WriteTotals(json, result.totals);
    if (addenda.ledger) WriteLedger(json, *addenda.ledger);
    if (addenda.changes) WriteChanges(json, *addenda.changes);
    WriteLists(json, result);
    WriteTree(json, result.tree);
    json.EndObject();
    out.push_back('\n');
    return out;
}

}  // namespace orvane::engine
