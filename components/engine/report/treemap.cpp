#include "report/treemap.h"

#include <algorithm>
#include <deque>

namespace orvane::engine::report {
namespace {

// The worst aspect ratio of a row of areas laid along a side of `side`.
double Worst(double sum, double smallest, double largest, double side) {
    const double side2 = side * side;
    const double sum2 = sum * sum;
    return std::max(side2 * largest / sum2, sum2 / (side2 * smallest));
}

// Lays `row` (areas, with their indexes) along the shorter side of `free`
// and takes the strip it fills off `free`.
void PlaceRow(const std::vector<std::pair<double, std::size_t>>& row, double sum, Rect& free,
              std::vector<Rect>& out) {
    if (free.w >= free.h) {
        const double width = free.h > 0 ? sum / free.h : 0;
        double y = free.y;
        for (const auto& [area, index] : row) {
            const double h = width > 0 ? area / width : 0;
            out[index] = {free.x, y, width, h};
            y += h;
        }
        free.x += width;
        free.w = std::max(0.0, free.w - width);
    } else {
        const double height = free.w > 0 ? sum / free.w : 0;
        double x = free.x;
        for (const auto& [area, index] : row) {
            const double w = height > 0 ? area / height : 0;
            out[index] = {x, free.y, w, height};
            x += w;
        }
        free.y += height;
        free.h = std::max(0.0, free.h - height);
    }
}

}  // namespace

std::vector<Rect> Squarify(const std::vector<std::uint64_t>& values, const Rect& bounds) {
    std::vector<Rect> out(values.size(), Rect{bounds.x, bounds.y, 0, 0});
    long double total = 0;
    for (std::uint64_t v : values) total += static_cast<long double>(v);
    if (total <= 0 || bounds.w <= 0 || bounds.h <= 0) return out;
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] > 0) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return values[a] > values[b]; });
    const long double scale = static_cast<long double>(bounds.w) * bounds.h / total;
    Rect free = bounds;
    std::vector<std::pair<double, std::size_t>> row;
    double sum = 0, smallest = 0, largest = 0;
    for (std::size_t index : order) {
        const double area = static_cast<double>(values[index] * scale);
        const double side = std::min(free.w, free.h);
        if (!row.empty()) {
            const double with =
                Worst(sum + area, std::min(smallest, area), std::max(largest, area), side);
            if (with > Worst(sum, smallest, largest, side)) {
                PlaceRow(row, sum, free, out);
                row.clear();
            }
        }
        if (row.empty()) sum = 0, smallest = area, largest = area;
        row.emplace_back(area, index);
        sum += area;
        smallest = std::min(smallest, area);
        largest = std::max(largest, area);
    }
    if (!row.empty()) {
        // The last row takes what is left, whatever rounding left over.
        PlaceRow(row, free.w >= free.h ? free.w * free.h : free.w * free.h, free, out);
    }
    return out;
}

namespace {

struct Pending {
    std::uint32_t folder;
    unsigned depth;
    Rect rect;
};

bool Drawable(const Rect& r, const TreemapOptions& options) {
    return r.w >= options.min_side && r.h >= options.min_side;
}

bool Labelled(const Rect& r, const TreemapOptions& options) {
    return r.w >= options.label_width && r.h >= options.label_height;
}

}  // namespace

std::vector<TreemapCell> LayoutTreemap(const FolderTree& tree, const TreemapOptions& options) {
    std::vector<TreemapCell> cells;
    if (tree.folders.empty() || tree.folders[0].subtree.allocated_bytes == 0) return cells;
    std::vector<std::vector<std::uint32_t>> children(tree.folders.size());
    for (std::uint32_t i = 1; i < tree.folders.size(); ++i)
        children[tree.folders[i].parent].push_back(i);

    std::deque<Pending> queue{{0, 0, Rect{0, 0, options.width, options.height}}};
    while (!queue.empty() && cells.size() < options.max_cells) {
        const Pending at = queue.front();
        queue.pop_front();
        TreemapCell cell{at.folder, false, Labelled(at.rect, options), false, at.depth, at.rect};
        const TreeFolder& folder = tree.folders[at.folder];
        // Subfolders go below the folder's label, or fill it when it has none.
        const double top = cell.labelled ? options.header : 1;
        const Rect inner{at.rect.x + 1, at.rect.y + top, at.rect.w - 2, at.rect.h - top - 1};
        const auto& kids = children[at.folder];
        if (!kids.empty() && Drawable(inner, options)) {
            std::vector<std::uint64_t> sizes;
            for (std::uint32_t kid : kids)
                sizes.push_back(tree.folders[kid].subtree.allocated_bytes);
            sizes.push_back(folder.other.allocated_bytes);
            const std::vector<Rect> rects = Squarify(sizes, inner);
            cell.has_header = cell.labelled;
            cells.push_back(cell);
            for (std::size_t k = 0; k < kids.size(); ++k) {
                if (Drawable(rects[k], options)) queue.push_back({kids[k], at.depth + 1, rects[k]});
            }
            if (Drawable(rects.back(), options) && cells.size() < options.max_cells)
                cells.push_back({at.folder, true, false, false, at.depth + 1, rects.back()});
        } else {
            cells.push_back(cell);
        }
    }
    return cells;
}

}  // namespace orvane::engine::report
