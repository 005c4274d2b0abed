// The treemap of a report: rectangles whose areas are proportional to the
// folders' sizes, laid out here (squarified, so they stay close to squares
// and their labels readable) and only drawn by the HTML report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/folder_tree.h"

namespace orvane::engine::report {

struct Rect {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
};

// One rectangle per value, in the order given, tiling `bounds` with areas
// proportional to the values (zero values get empty rectangles). Values are
// best given largest first.
std::vector<Rect> Squarify(const std::vector<std::uint64_t>& values, const Rect& bounds);

struct TreemapOptions {
    double width = 1000;
    double height = 560;
    double header = 15;        // a label band above a folder's subfolders
    double min_side = 3;       // smaller rectangles are not drawn
    double label_width = 44;   // a rectangle at least this wide and
    double label_height = 13;  // this high carries its name
    std::size_t max_cells = 6000;
};

struct TreemapCell {
    std::uint32_t folder = 0;  // index in the tree
    bool other = false;        // the folder's files and the subfolders not kept
    bool labelled = false;
    bool has_header = false;  // its subfolders are drawn inside, below its label
    unsigned depth = 0;
    Rect rect;
};

// Parents before their children (breadth first), so later cells are drawn
// over earlier ones.
std::vector<TreemapCell> LayoutTreemap(const FolderTree& tree, const TreemapOptions& options = {});

}  // namespace orvane::engine::report
