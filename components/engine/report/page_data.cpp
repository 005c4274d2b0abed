#include "report/page_data.h"

#include <charconv>

#include "core/native_string.h"
#include "orvane/buffered_text.h"
#include "report/report_json.h"

namespace orvane::engine::report {
namespace {

void AppendEscape(std::string& out, unsigned code) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(code >> shift) & 0xF];
}

// Names that are already UTF-8 (most, on POSIX) are escaped as they are,
// without a converted copy each.
template <typename Char>
bool AppendValidUtf8(std::string& out, std::basic_string_view<Char> name) {
    if constexpr (sizeof(Char) == 1) {
        if (!IsValidNativeText(name)) return false;
        AppendScriptSafeJsonString(out, std::string_view(name.data(), name.size()));
        return true;
    } else {
        return false;
    }
}

// Printable ASCII that needs no escape: the page names tens of thousands of
// folders and files, nearly all like that.
bool IsPlainName(NativeStringView name) {
    for (const NativeChar c : name) {
        const auto unit = static_cast<std::make_unsigned_t<NativeChar>>(c);
        if (unit < 0x20 || unit > 0x7E || unit == '"' || unit == '\\' || unit == '<' ||
            unit == '>' || unit == '&')
            return false;
    }
    return true;
}

void AppendName(BufferedText& text, NativeStringView name) {
    if (IsPlainName(name)) {
        text.Append('"');
        text.AppendAscii(name);
        text.Append('"');
    } else if (!AppendValidUtf8(text.Flushed(), name)) {
        AppendScriptSafeJsonString(text.Flushed(), ToUtf8Lossy(name));
    }
}

void AppendFolder(BufferedText& text, const TreeFolder& folder) {
    text.Append('[');
    AppendName(text, folder.name);
    if (folder.parent == TreeFolder::kNoParent) {
        text.Append(",-1");
    } else {
        text.Append(',');
        text.AppendNumber(folder.parent);
    }
    for (std::uint64_t n : {folder.subtree.allocated_bytes, folder.subtree.files,
                            folder.other.allocated_bytes, folder.other.folders}) {
        text.Append(',');
        text.AppendNumber(n);
    }
    text.Append(",[");
    bool first = true;
    for (const TreeFile& file : folder.largest_files) {
        if (!first) text.Append(',');
        first = false;
        AppendName(text, file.name);
        text.Append(',');
        text.AppendNumber(file.allocated_bytes);
    }
    text.Append("]]");
}

// Folders the tree shows with nothing in them but one kept subfolder.
std::vector<bool> PassThroughs(const FolderTree& tree) {
    std::vector<std::uint32_t> kept_children(tree.folders.size(), 0);
    for (const TreeFolder& folder : tree.folders) {
        if (folder.parent != TreeFolder::kNoParent) kept_children[folder.parent]++;
    }
    std::vector<bool> out(tree.folders.size(), false);
    for (std::size_t i = 0; i < tree.folders.size(); ++i) {
        const FolderSums& other = tree.folders[i].other;
        out[i] = kept_children[i] == 1 && other.files == 0 && other.folders == 0;
    }
    return out;
}

NativeString PathOf(const FolderTree& tree, std::uint32_t index, NativeChar separator) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = index; at != TreeFolder::kNoParent; at = tree.folders[at].parent)
        chain.push_back(at);
    NativeString path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        if (!path.empty() && path.back() != separator) path.push_back(separator);
        path += tree.folders[*at].name;
    }
    return path;
}

}  // namespace

void AppendScriptSafeJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    std::size_t plain = 0;  // where the run of characters written as they are began
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const bool line_separator = byte == 0xE2 && i + 2 < utf8.size() && utf8[i + 1] == '\x80' &&
                                    (utf8[i + 2] == '\xA8' || utf8[i + 2] == '\xA9');
        if (byte >= 0x20 && byte != '"' && byte != '\\' && byte != '<' && byte != '>' &&
            byte != '&' && !line_separator)
            continue;
        out.append(utf8, plain, i - plain);
        plain = i + 1;
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (line_separator) {
            AppendEscape(out, utf8[i + 2] == '\xA8' ? 0x2028 : 0x2029);
            i += 2;
            plain = i + 1;
        } else {
            AppendEscape(out, byte);
        }
    }
    out.append(utf8, plain);
    out += '"';
}

std::string PageDataJson(const ScanResult& result, NativeChar separator) {
    std::size_t files = 0;
    for (const TreeFolder& folder : result.tree.folders) files += folder.largest_files.size();
    std::string out;
    out.reserve(4096 + 64 * result.tree.folders.size() + 40 * files);
    {
        BufferedText text(out);
        text.Append("{\"sep\":");
        AppendName(text, NativeStringView(&separator, 1));
        text.Append(",\"types\":[");
        for (std::size_t i = 0; i < result.largest_types.size(); ++i) {
            if (i) text.Append(',');
            text.Append('[');
            AppendName(text, result.largest_types[i].extension);
            text.Append(',');
            text.AppendNumber(result.largest_types[i].allocated_bytes);
            text.Append(']');
        }
        text.Append("],\"f\":[");
        for (std::size_t i = 0; i < result.tree.folders.size(); ++i) {
            if (i) text.Append(",\n");
            AppendFolder(text, result.tree.folders[i]);
        }
        text.Append("]}");
    }
    return out;
}

std::vector<DistinctFolder> DistinctLargestFolders(const FolderTree& tree, std::size_t count,
                                                   NativeChar separator) {
    std::vector<DistinctFolder> out;
    const std::vector<bool> pass_through = PassThroughs(tree);
    for (std::uint32_t i = 0; i < tree.folders.size() && out.size() < count; ++i) {
        if (pass_through[i]) continue;
        const TreeFolder& folder = tree.folders[i];
        std::uint64_t own = folder.other_files.allocated_bytes;
        for (const TreeFile& file : folder.largest_files) own += file.allocated_bytes;
        out.push_back({i, PathOf(tree, i, separator), folder.subtree, own});
    }
    return out;
}

}  // namespace orvane::engine::report
