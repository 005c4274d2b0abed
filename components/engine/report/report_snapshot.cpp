#include "report/report_snapshot.h"

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

NativeString NativeField(const JsonValue& object, std::string_view field) {
    NativeString exact;
    const JsonValue* raw = object.Find(std::string(field) + "_raw");
    if (raw && raw->kind == JsonValue::Kind::kString && NativeFromHex(raw->text, exact)) {
        return exact;
    }
    return NativeFromUtf8(object.StringAt(field));
}

FolderSums SumsOf(const JsonValue& object) {
    return {object.UnsignedAt("allocated_bytes"), object.UnsignedAt("apparent_bytes"),
            object.UnsignedAt("files"), object.UnsignedAt("folders")};
}

// A tree whose parent links do not point backwards is not ours: dropped.
FolderTree TreeOf(const JsonValue* tree) {
    FolderTree out;
    if (!tree) return out;
    out.limit = tree->UnsignedAt("limit");
    const JsonValue* folders = tree->Find("folders");
    if (!folders) return out;
    for (const JsonValue& item : folders->items) {
        TreeFolder folder;
        folder.name = NativeField(item, "name");
        folder.subtree = SumsOf(item);
        if (const JsonValue* other = item.Find("other")) folder.other = SumsOf(*other);
        if (const JsonValue* parent = item.Find("parent")) {
            const auto index = parent->Unsigned();
            if (!index || *index >= out.folders.size()) return FolderTree{};
            folder.parent = static_cast<std::uint32_t>(*index);
        } else if (!out.folders.empty()) {
            return FolderTree{};
        }
        out.folders.push_back(std::move(folder));
    }
    return out;
}

void ReadTotals(const JsonValue& totals, ScanTotals& out) {
    out.files = totals.UnsignedAt("files");
    out.folders = totals.UnsignedAt("folders");
    out.allocated_bytes = totals.UnsignedAt("allocated_bytes");
    out.apparent_bytes = totals.UnsignedAt("apparent_bytes");
    out.unreadable_folders = totals.UnsignedAt("unreadable_folders");
}

}  // namespace

NativeString NativeFromUtf8(std::string_view utf8) {
    if constexpr (sizeof(NativeChar) == 1) {
        return NativeString(utf8.begin(), utf8.end());
    } else {
        NativeString out;
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (i + length > utf8.size()) length = utf8.size() - i;
            char32_t code = length == 1 ? lead : lead & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) {
                code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            }
            i += length;
            if (code >= 0x10000) {
                code -= 0x10000;
                out.push_back(static_cast<NativeChar>(0xD800 + (code >> 10)));
                out.push_back(static_cast<NativeChar>(0xDC00 + (code & 0x3FF)));
            } else {
                out.push_back(static_cast<NativeChar>(code));
            }
        }
        return out;
    }
}

std::optional<ReportSnapshot> ReadReportSnapshot(std::string_view json, bool summary_only) {
    // The writer puts everything a summary needs before the changes and the
    // lists, so the index reads only the head of each report.
    const auto document = summary_only ? ParseJsonHead(json, {"changes", "largest_folders", "tree"})
                                       : ParseJson(json);
    if (!document || document->StringAt("format") != "orvane-analysis-report") return std::nullopt;
    const JsonValue* totals = document->Find("totals");
    if (!totals) return std::nullopt;
    ReportSnapshot snapshot;
    snapshot.root = NativeField(*document, "root");
    snapshot.status = document->StringAt("status");
    snapshot.started_at = document->StringAt("started_at");
    ReadTotals(*totals, snapshot.totals);
    if (const JsonValue* ledger = document->Find("ledger")) {
        if (const JsonValue* used = ledger->Find("used_bytes"))
            snapshot.used_bytes = used->Unsigned();
        snapshot.volume_serial = ledger->StringAt("volume_serial");
    }
    if (summary_only) return snapshot;
    snapshot.tree = TreeOf(document->Find("tree"));
    if (const JsonValue* files = document->Find("largest_files")) {
        for (const JsonValue& item : files->items) {
            snapshot.largest_files.push_back(FileSize{NativeField(item, "path"),
                                                      item.UnsignedAt("allocated_bytes"),
                                                      item.UnsignedAt("apparent_bytes")});
        }
    }
    return snapshot;
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
