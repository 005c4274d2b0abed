// The folder map's layout on trees of every shape: sizes of 0, 1 and 2^63,
// children larger than their parents, and up to a million folders. Every
// rectangle must be a real one inside the map, and the cells few.
#include <cmath>
#include <cstdint>

#include "fuzz_support.h"
#include "report/treemap.h"

namespace {

using namespace orvane::engine;
using orvane::fuzz::Require;

// A million folders in a chain, a star or a comb: the shapes that cost most.
FolderTree Huge(FuzzedDataProvider& data) {
    FolderTree tree;
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(1, 1000000);
    const int shape = data.ConsumeIntegralInRange<int>(0, 2);
    const std::uint64_t size = orvane::fuzz::ExtremeSize(data);
    tree.folders.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        TreeFolder& folder = tree.folders[i];
        if (i > 0)
            folder.parent = static_cast<std::uint32_t>(shape == 0 ? i - 1 : shape == 1 ? 0 : i / 2);
        folder.subtree.allocated_bytes = shape == 0 ? size : size / (i + 1);
        folder.other.allocated_bytes = size / 7;
    }
    return tree;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const FolderTree tree = data.ConsumeIntegralInRange<int>(0, 63) == 0
                                ? Huge(data)
                                : orvane::fuzz::Tree(data, 300, true, ORVANE_NATIVE("/r"));
    report::TreemapOptions options;
    options.width = data.ConsumeBool() ? 1000 : data.ConsumeFloatingPointInRange<double>(0, 5000);
    options.height = data.ConsumeBool() ? 560 : data.ConsumeFloatingPointInRange<double>(0, 5000);
    const auto cells = report::LayoutTreemap(tree, options);
    Require(cells.size() <= options.max_cells, "no more cells than allowed");
    const double e = 1e-6 * (options.width + options.height) + 1e-9;
    for (const auto& cell : cells) {
        const report::Rect& r = cell.rect;
        Require(
            std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.w) && std::isfinite(r.h),
            "a rectangle of real numbers");
        Require(cell.folder < tree.folders.size(), "a cell of a folder of the tree");
        Require(r.w >= 0 && r.h >= 0 && r.x >= -e && r.y >= -e && r.x + r.w <= options.width + e &&
                    r.y + r.h <= options.height + e,
                "inside the map");
    }
    return 0;
}
