#include "report/report_snapshot.h"

#include <algorithm>
#include <numeric>

#include "report/json_reader.h"

namespace orvane::engine::report {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The exact native units of a "_raw" field; false when it is malformed.
bool NativeFromHex(std::string_view hex, NativeString& out) {
    constexpr std::size_t kDigits = sizeof(NativeChar) * 2;
    if (hex.size() % kDigits != 0) return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += kDigits) {
        std::uint32_t unit = 0;
        for (std::size_t k = 0; k < kDigits; ++k) {
            const int digit = HexDigit(hex[i + k]);
            if (digit < 0) return false;
            unit = (unit << 4) | static_cast<std::uint32_t>(digit);
        }
        out.push_back(static_cast<NativeChar>(unit));
    }
    return true;
}

bool IsIsoTime(std::string_view text) {
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kShape.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
    }
    return true;
}

bool IsSerial(std::string_view text) {
    if (text.size() != 9 || text[4] != '-') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i != 4 && !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

bool IsStatusWord(std::string_view text) {
    if (text.empty() || text.size() > 40) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || c == '_'; });
}

bool IsSeparator(NativeChar c) { return c == kNativeSeparator || c == '/'; }

// A name as a folder of a tree has one: not empty, no separator, not "." or "..".
bool IsFolderName(const NativeString& name) {
    if (name.empty() || name == ORVANE_NATIVE(".") || name == ORVANE_NATIVE("..")) return false;
    return std::none_of(name.begin(), name.end(), IsSeparator);
}

// A native text field and its "_raw" twin, which may come in either order.
struct NameField {
    std::string utf8;
    std::string raw;
    bool has_raw = false;
    // False when the raw hex is malformed.
    bool Native(NativeString& out) const {
        if (has_raw) return NativeFromHex(raw, out);
        out = NativeFromUtf8(utf8);
        return true;
    }
};

class SnapshotReader {
public:
    SnapshotReader(std::string_view json, bool summary_only)
        : json_(json), summary_only_(summary_only), size_(json.size()) {}

    bool Read(ReportSnapshot& out);
    std::string Why() const {
        const std::string& fault = json_.failed() ? json_.error() : fault_;
        return context_.empty() ? fault : context_ + ": " + fault;
    }

private:
    bool Fault(std::string text) {
        if (fault_.empty() && !json_.failed()) fault_ = std::move(text);
        return false;
    }
    bool In(const char* context, bool ok) {
        if (!ok && context_.empty()) context_ = context;
        return ok;
    }
    bool Members(ReportSnapshot& out);
    bool Member(const std::string& key, ReportSnapshot& out);
    bool Totals(ScanTotals& out);
    bool LedgerPart(ReportSnapshot& out);
    bool Sums(FolderSums& out);
    bool Tree(FolderTree& out);
    bool Folder(TreeFolder& out);
    bool Files(std::vector<FileSize>& out);
    bool File(FileSize& out);
    bool Check(const ReportSnapshot& out);

    JsonReader json_;
    bool summary_only_;
    std::size_t size_;
    std::string fault_;
    std::string context_;
    std::string key_;
    std::string format_;
    NameField root_;
    bool have_totals_ = false;
};

bool SnapshotReader::Read(ReportSnapshot& out) {
    if (!Members(out)) return false;
    if (format_ != "orvane-analysis-report")
        return Fault("not an analysis report of Orvane Analyzer");
    if (!have_totals_) return Fault("it has no totals");
    if (!root_.Native(out.root) || out.root.empty())
        return In("root", Fault("not the name of a folder"));
    return Check(out);
}

bool SnapshotReader::Members(ReportSnapshot& out) {
    if (!json_.BeginObject()) return false;
    std::string key;
    while (json_.NextMember(key)) {
        // The writer puts everything a summary needs before the changes and
        // the lists, so the index reads only the head of each report.
        if (summary_only_ && (key == "changes" || key == "largest_folders" || key == "tree"))
            return true;
        if (!Member(key, out)) return false;
    }
    return !json_.failed() && json_.AtEnd();
}

bool SnapshotReader::Member(const std::string& key, ReportSnapshot& out) {
    if (key == "format") return json_.String(format_);
    if (key == "root") return json_.String(root_.utf8);
    if (key == "root_raw") return root_.has_raw = true, json_.String(root_.raw);
    if (key == "status") return json_.String(out.status);
    if (key == "started_at") return json_.String(out.started_at);
    if (key == "totals") return have_totals_ = true, In("totals", Totals(out.totals));
    if (key == "ledger") return In("ledger", LedgerPart(out));
    if (key == "tree" && !summary_only_) return In("tree", Tree(out.tree));
    if (key == "largest_files" && !summary_only_)
        return In("largest_files", Files(out.largest_files));
    return json_.Skip();
}

bool SnapshotReader::Check(const ReportSnapshot& out) {
    if (!IsIsoTime(out.started_at)) return In("started_at", Fault("not a time"));
    if (!IsStatusWord(out.status)) return In("status", Fault("not a status"));
    if (!out.volume_serial.empty() && !IsSerial(out.volume_serial))
        return In("ledger", Fault("volume_serial is not a volume serial number"));
    const std::string tree = TreeFault(out.tree);
    if (!tree.empty()) return In("tree", Fault(tree));
    return true;
}

bool SnapshotReader::Totals(ScanTotals& out) {
    if (!json_.BeginObject()) return false;
    std::string key;
    while (json_.NextMember(key)) {
        std::uint64_t* const fields[] = {&out.files, &out.folders, &out.allocated_bytes,
                                         &out.apparent_bytes, &out.unreadable_folders};
        static constexpr const char* kNames[] = {"files", "folders", "allocated_bytes",
                                                 "apparent_bytes", "unreadable_folders"};
        const auto* name = std::find(std::begin(kNames), std::end(kNames), key);
        if (name != std::end(kNames)) {
            if (!json_.Unsigned(*fields[name - std::begin(kNames)])) return false;
        } else if (key == "bytes_saturated") {
            if (!json_.Bool(out.bytes_saturated)) return false;
        } else if (!json_.Skip()) {
            return false;
        }
    }
    return !json_.failed();
}

bool SnapshotReader::LedgerPart(ReportSnapshot& out) {
    if (!json_.BeginObject()) return false;
    std::string key;
    while (json_.NextMember(key)) {
        if (key == "used_bytes") {
            std::uint64_t used = 0;
            if (!json_.Unsigned(used)) return false;
            out.used_bytes = used;
        } else if (key == "volume_serial") {
            if (!json_.String(out.volume_serial)) return false;
        } else if (!json_.Skip()) {
            return false;
        }
    }
    return !json_.failed();
}

bool SnapshotReader::Sums(FolderSums& out) {
    if (!json_.BeginObject()) return false;
    while (json_.NextMember(key_)) {
        std::uint64_t* field = key_ == "allocated_bytes"  ? &out.allocated_bytes
                               : key_ == "apparent_bytes" ? &out.apparent_bytes
                               : key_ == "files"          ? &out.files
                               : key_ == "folders"        ? &out.folders
                                                          : nullptr;
        if (field ? !json_.Unsigned(*field) : !json_.Skip()) return false;
    }
    return !json_.failed();
}

bool SnapshotReader::Folder(TreeFolder& out) {
    if (!json_.BeginObject()) return false;
    NameField name;
    std::string key;
    while (json_.NextMember(key)) {
        bool ok = true;
        if (key == "name") {
            ok = json_.String(name.utf8);
        } else if (key == "name_raw") {
            ok = name.has_raw = true, json_.String(name.raw);
        } else if (key == "parent") {
            std::uint64_t parent = 0;
            ok = json_.Unsigned(parent);
            out.parent = parent < TreeFolder::kNoParent ? static_cast<std::uint32_t>(parent)
                                                        : TreeFolder::kNoParent - 1;
        } else if (key == "other") {
            ok = Sums(out.other);
        } else {
            std::uint64_t* field = key == "allocated_bytes"  ? &out.subtree.allocated_bytes
                                   : key == "apparent_bytes" ? &out.subtree.apparent_bytes
                                   : key == "files"          ? &out.subtree.files
                                   : key == "folders"        ? &out.subtree.folders
                                                             : nullptr;
            ok = field ? json_.Unsigned(*field) : json_.Skip();
        }
        if (!ok) return false;
    }
    if (json_.failed()) return false;
    return name.Native(out.name) || Fault("a name_raw that is not hex");
}

bool SnapshotReader::Tree(FolderTree& out) {
    if (!json_.BeginObject()) return false;
    std::string key;
    while (json_.NextMember(key)) {
        if (key == "limit") {
            std::uint64_t limit = 0;
            if (!json_.Unsigned(limit)) return false;
            out.limit = static_cast<std::size_t>(std::min<std::uint64_t>(limit, SIZE_MAX));
        } else if (key == "folders") {
            if (!json_.BeginArray()) return false;
            // A folder takes a hundred bytes or more of the text.
            out.folders.reserve(std::min<std::size_t>(out.limit, size_ / 128));
            while (json_.NextItem()) {
                if (out.folders.size() >= TreeFolder::kNoParent - 1)
                    return Fault("more folders than a tree can hold");
                if (!Folder(out.folders.emplace_back())) return false;
            }
            if (json_.failed()) return false;
        } else if (!json_.Skip()) {
            return false;
        }
    }
    return !json_.failed();
}

bool SnapshotReader::File(FileSize& out) {
    if (!json_.BeginObject()) return false;
    NameField path;
    std::string key;
    while (json_.NextMember(key)) {
        bool ok;
        if (key == "path") {
            ok = json_.String(path.utf8);
        } else if (key == "path_raw") {
            ok = path.has_raw = true, json_.String(path.raw);
        } else if (key == "allocated_bytes") {
            ok = json_.Unsigned(out.allocated_bytes);
        } else if (key == "apparent_bytes") {
            ok = json_.Unsigned(out.apparent_bytes);
        } else {
            ok = json_.Skip();
        }
        if (!ok) return false;
    }
    if (json_.failed()) return false;
    return path.Native(out.path) || Fault("a path_raw that is not hex");
}

bool SnapshotReader::Files(std::vector<FileSize>& out) {
    if (!json_.BeginArray()) return false;
    while (json_.NextItem()) {
        if (!File(out.emplace_back())) return false;
    }
    return !json_.failed();
}

}  // namespace

std::string TreeFault(const FolderTree& tree) {
    const auto& folders = tree.folders;
    if (folders.size() >= TreeFolder::kNoParent) return "more folders than a tree can hold";
    if (!folders.empty() && folders[0].parent != TreeFolder::kNoParent)
        return "its first folder has a parent";
    for (std::size_t i = 1; i < folders.size(); ++i) {
        const std::string folder = "folder " + std::to_string(i);
        if (folders[i].parent >= i) return folder + " names a parent that does not come before it";
        if (!IsFolderName(folders[i].name)) return folder + " has a name that is not a name";
    }
    // Two siblings of one name would be one folder counted twice.
    std::vector<std::uint32_t> order(folders.size());
    std::iota(order.begin(), order.end(), 0u);
    auto key = [&](std::uint32_t i) { return std::tie(folders[i].parent, folders[i].name); };
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (key(order[i - 1]) == key(order[i]))
            return "folder " + std::to_string(std::max(order[i - 1], order[i])) +
                   " has the name of a sibling";
    }
    return {};
}

std::optional<ReportSnapshot> ReadReportSnapshot(std::string_view json, bool summary_only,
                                                 std::string* why) {
    ReportSnapshot snapshot;
    SnapshotReader reader(json, summary_only);
    if (reader.Read(snapshot)) return snapshot;
    if (why) *why = reader.Why();
    return std::nullopt;
}

PreviousTotals PreviousTotalsOf(const ReportSnapshot& snapshot, std::string report_name) {
    PreviousTotals previous;
    previous.started_at = snapshot.started_at;
    previous.report = std::move(report_name);
    previous.files = snapshot.totals.files;
    previous.folders = snapshot.totals.folders;
    previous.allocated_bytes = snapshot.totals.allocated_bytes;
    previous.apparent_bytes = snapshot.totals.apparent_bytes;
    previous.used_bytes = snapshot.used_bytes;
    return previous;
}

}  // namespace orvane::engine::report
