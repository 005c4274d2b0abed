// What the fuzz targets share: a check that stops the run with the input
// kept, and the generated pieces of scans and trees.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/folder_tree.h"
#include "core/native_string.h"

namespace orvane::fuzz {

// A finding: libFuzzer keeps the input that led here.
inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// The sizes that break arithmetic: 0, 1, 2^63, the largest, and any.
inline std::uint64_t ExtremeSize(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
            return 0;
        case 1:
            return 1;
        case 2:
            return std::uint64_t{1} << 63;
        case 3:
            return UINT64_MAX;
        case 4:
            return data.ConsumeIntegralInRange<std::uint64_t>(0, 1 << 20);
        default:
            return data.ConsumeIntegral<std::uint64_t>();
    }
}

// A name: a few short ones (so that siblings share names and paths are
// prefixes of one another), or any bytes at all.
inline engine::NativeString Name(FuzzedDataProvider& data) {
    static const char* const kNames[] = {"a", "ab",       "a b", ".",   "..",
                                         "",  "<b>&amp;", "a/b", "a\\b"};
    std::string bytes = data.ConsumeBool()
                            ? std::string(kNames[data.ConsumeIntegralInRange<std::size_t>(0, 8)])
                            : data.ConsumeRandomLengthString(24);
    engine::NativeString name;
    for (char c : bytes)
        name.push_back(static_cast<engine::NativeChar>(static_cast<unsigned char>(c)));
    if constexpr (sizeof(engine::NativeChar) > 1) {
        if (!bytes.empty() && data.ConsumeBool())
            name.push_back(static_cast<engine::NativeChar>(0xD800));
    }
    return name;
}

// A tree of up to `most` folders; with `sound` every parent comes before
// its child, else a link may point anywhere.
inline engine::FolderTree Tree(FuzzedDataProvider& data, std::size_t most, bool sound,
                               const engine::NativeString& root) {
    engine::FolderTree tree;
    tree.limit = data.ConsumeIntegralInRange<std::size_t>(0, most);
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, most);
    for (std::size_t i = 0; i < count && data.remaining_bytes() > 0; ++i) {
        engine::TreeFolder folder;
        folder.name = i == 0 ? root : Name(data);
        if (i > 0) {
            folder.parent = sound ? data.ConsumeIntegralInRange<std::uint32_t>(
                                        0, static_cast<std::uint32_t>(i - 1))
                                  : data.ConsumeIntegral<std::uint32_t>();
        }
        folder.subtree = {ExtremeSize(data), ExtremeSize(data), ExtremeSize(data),
                          ExtremeSize(data)};
        folder.other = {ExtremeSize(data), ExtremeSize(data), ExtremeSize(data),
                        data.ConsumeBool() ? 0 : ExtremeSize(data)};
        tree.folders.push_back(std::move(folder));
    }
    return tree;
}

}  // namespace orvane::fuzz
