// The arithmetic behind a report: the treemap layout, the tree of the
// largest folders, the changes between two reports, the ledger and the
// reports index's retention.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>

#include "report/report_json.h"
#include "core/scanner.h"
#include "fake_reader.h"
#include "report/assemble_addenda.h"
#include "report/changes.h"
#include "report/html_report.h"
#include "report/page_data.h"
#include "report/ledger.h"
#include "report/report_index.h"
#include "report/report_snapshot.h"
#include "report/treemap.h"
#include "report_sink.h"

namespace orvane::engine {
namespace {

using report::Rect;
using testing::FakeNode;
using testing::FakeReader;

#define N(text) ORVANE_NATIVE(text)

#if defined(_WIN32)
constexpr NativeChar kSep = L'\\';
#else
constexpr NativeChar kSep = '/';
#endif

bool Inside(const Rect& r, const Rect& bounds) {
    const double e = 1e-6;
    return r.x >= bounds.x - e && r.y >= bounds.y - e && r.x + r.w <= bounds.x + bounds.w + e &&
           r.y + r.h <= bounds.y + bounds.h + e;
}

bool Overlap(const Rect& a, const Rect& b) {
    const double e = 1e-6;
    return a.x + e < b.x + b.w && b.x + e < a.x + a.w && a.y + e < b.y + b.h && b.y + e < a.y + a.h;
}

TEST(Treemap, SquarifiedRectanglesTileTheirBoundsWithAreasInProportion) {
    std::vector<std::uint64_t> huge_and_tiny{1000000000000ull};
    huge_and_tiny.insert(huge_and_tiny.end(), 3000, 1);
    const std::vector<std::vector<std::uint64_t>> cases = {
        {600, 300, 250, 200, 120, 60, 40, 20, 7, 1}, {0, 5, 0, 3}, {7}, {0, 0}, {}, huge_and_tiny,
        std::vector<std::uint64_t>(2000, 13)};
    const Rect bounds{10, 20, 800, 500};
    for (const auto& sizes : cases) {
        const std::vector<Rect> rects = report::Squarify(sizes, bounds);
        ASSERT_EQ(rects.size(), sizes.size());
        long double total = 0;
        for (auto s : sizes) total += s;
        double covered = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            EXPECT_TRUE(Inside(rects[i], bounds)) << i;
            const double area = rects[i].w * rects[i].h;
            covered += area;
            const double expected =
                total > 0 ? static_cast<double>(sizes[i] / total) * bounds.w * bounds.h : 0;
            EXPECT_NEAR(area, expected, expected * 0.01 + 1e-6) << "size " << sizes[i];
            for (std::size_t k = 0; k < std::min<std::size_t>(i, 300); ++k) {
                EXPECT_FALSE(Overlap(rects[i], rects[k])) << i << " and " << k;
            }
        }
        EXPECT_NEAR(covered, total > 0 ? bounds.w * bounds.h : 0, 1e-3);
    }
    // Squarified: a few similar sizes give rectangles close to squares.
    for (const Rect& r : report::Squarify({4, 4, 4, 4}, {0, 0, 100, 100})) {
        EXPECT_NEAR(r.w / r.h, 1.0, 0.01);
    }
}

// "f12": a letter and a number.
NativeString Name(char letter, int number) {
    const std::string text = letter + std::to_string(number);
    return NativeString(text.begin(), text.end());
}

// A reproducible tree of `folders` folders with files of mixed sizes, empty
// folders and chains of them (equal sizes down a chain).
void BuildRandomTree(FakeReader& reader, int folders, unsigned seed) {
    std::vector<FakeNode*> nodes{&reader.root};
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFF; };
    for (int i = 0; i < folders; ++i) {
        FakeNode* parent = nodes[next() % nodes.size()];
        const bool empty = next() % 4 == 0;
        FakeNode& folder = parent->AddFolder(Name('f', i), empty ? 0 : 4096, empty ? 0 : 4096);
        for (unsigned f = next() % 4; f > 0; --f) {
            const std::uint64_t size = (next() % 64) * 512;
            folder.AddFile(N("file") + NativeString(1, NativeChar('0' + f)), size,
                           size + next() % 500);
        }
        nodes.push_back(&folder);
    }
}

struct Key {
    std::uint64_t allocated, folders;
    auto operator<=>(const Key&) const = default;
};

// Every folder's subtree, worked out independently of the scanner.
FolderSums Subtree(const FakeNode& node, std::vector<Key>& keys) {
    FolderSums sums{node.stats.allocated_bytes, node.stats.apparent_bytes, 0, 1};
    for (const auto& child : node.children) {
        if (child->kind == EntryKind::kDirectory) {
            const FolderSums c = Subtree(*child, keys);
            sums.allocated_bytes += c.allocated_bytes;
            sums.apparent_bytes += c.apparent_bytes;
            sums.files += c.files;
            sums.folders += c.folders;
        } else {
            sums.allocated_bytes += child->stats.allocated_bytes;
            sums.apparent_bytes += child->stats.apparent_bytes;
            sums.files++;
        }
    }
    keys.push_back({sums.allocated_bytes, sums.folders});
    return sums;
}

void ExpectSoundTree(const FolderTree& tree, const ScanTotals& totals) {
    ASSERT_FALSE(tree.folders.empty());
    EXPECT_EQ(tree.folders[0].parent, TreeFolder::kNoParent);
    EXPECT_EQ(tree.folders[0].subtree.allocated_bytes, totals.allocated_bytes);
    EXPECT_EQ(tree.folders[0].subtree.apparent_bytes, totals.apparent_bytes);
    EXPECT_EQ(tree.folders[0].subtree.files, totals.files);
    EXPECT_EQ(tree.folders[0].subtree.folders, totals.folders);
    std::vector<FolderSums> sums(tree.folders.size());
    for (std::size_t i = 0; i < tree.folders.size(); ++i) {
        sums[i] = tree.folders[i].other;
        sums[i].folders += 1;
        if (i > 0) {
            ASSERT_LT(tree.folders[i].parent, i) << "a parent comes before its children";
        }
    }
    for (std::size_t i = tree.folders.size(); i-- > 1;) {
        FolderSums& parent = sums[tree.folders[i].parent];
        parent.allocated_bytes += tree.folders[i].subtree.allocated_bytes;
        parent.apparent_bytes += tree.folders[i].subtree.apparent_bytes;
        parent.files += tree.folders[i].subtree.files;
        parent.folders += tree.folders[i].subtree.folders;
    }
    for (std::size_t i = 0; i < tree.folders.size(); ++i) {
        EXPECT_EQ(sums[i].allocated_bytes, tree.folders[i].subtree.allocated_bytes) << i;
        EXPECT_EQ(sums[i].apparent_bytes, tree.folders[i].subtree.apparent_bytes) << i;
        EXPECT_EQ(sums[i].files, tree.folders[i].subtree.files) << i;
        EXPECT_EQ(sums[i].folders, tree.folders[i].subtree.folders) << i;
    }
}

TEST(FolderTree, KeepsExactlyTheLargestFoldersAsATreeWithExactOtherSums) {
    FakeReader reader;
    reader.batch_size = 2;
    BuildRandomTree(reader, 400, 7);
    std::vector<Key> all;
    Subtree(reader.root, all);
    std::sort(all.rbegin(), all.rend());
    for (std::size_t limit : {1u, 2u, 7u, 60u, 401u, 5000u}) {
        for (unsigned threads : {1u, 3u}) {
            ScanOptions options;
            options.threads = threads;
            options.tree_folders = limit;
            Scanner scanner(reader, options);
            const ScanResult result = scanner.Run(N("/root"));
            const FolderTree& tree = result.tree;
            ASSERT_EQ(tree.folders.size(), std::min<std::size_t>(limit, all.size())) << limit;
            ExpectSoundTree(tree, result.totals);
            std::vector<Key> kept;
            for (const TreeFolder& f : tree.folders)
                kept.push_back({f.subtree.allocated_bytes, f.subtree.folders});
            std::sort(kept.rbegin(), kept.rend());
            EXPECT_EQ(kept,
                      std::vector<Key>(all.begin(), all.begin() + static_cast<long>(kept.size())))
                << "limit " << limit << ", " << threads << " threads";
        }
    }
    ScanOptions none;
    none.tree_folders = 0;
    EXPECT_TRUE(Scanner(reader, none).Run(N("/root")).tree.folders.empty());
}

// The kept folder's node in the fake tree, found by the names down from the root.
const FakeNode& NodeOf(const FakeReader& reader, const FolderTree& tree, std::uint32_t index) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = index; at != 0; at = tree.folders[at].parent) chain.push_back(at);
    const FakeNode* node = &reader.root;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        for (const auto& child : node->children) {
            if (child->name == tree.folders[*at].name) node = child.get();
        }
    }
    return *node;
}

// A folder's listing may come in any order, the worst for a shortlist being
// smallest first (every file gets in and pushes one out): the kept files and
// the sums are the same for each, and the names pushed out are let go.
TEST(FileShortlist, KeepsTheLargestInAnyOrderAndSumsTheRestExactly) {
    std::vector<TreeFile> files;
    for (int i = 0; i < 3000; ++i) {
        NativeString name = Name('f', i);
        name.append(static_cast<std::size_t>(i % 37), NativeChar('x'));
        // Few distinct sizes, so ties at the cut are settled by the name.
        const std::uint64_t allocated = static_cast<std::uint64_t>(i % 50) * 4096;
        files.push_back({name,
                         allocated,
                         allocated + static_cast<std::uint64_t>(i % 3),
                         {1, static_cast<std::uint64_t>(i) + 1},
                         static_cast<std::uint64_t>(i)});
    }
    auto larger = [](const TreeFile& a, const TreeFile& b) {
        return std::tie(b.allocated_bytes, b.apparent_bytes, a.name) <
               std::tie(a.allocated_bytes, a.apparent_bytes, b.name);
    };
    std::vector<TreeFile> expected = files;
    std::sort(expected.begin(), expected.end(), larger);
    expected.resize(kLargestFilesPerFolder);
    std::vector<TreeFile> ascending = files;
    std::sort(ascending.begin(), ascending.end(),
              [&](const TreeFile& a, const TreeFile& b) { return larger(b, a); });
    std::vector<TreeFile> descending(ascending.rbegin(), ascending.rend());
    for (const auto* order : {&files, &ascending, &descending}) {
        FileShortlist shortlist;
        FileSums all;
        for (const TreeFile& file : *order) {
            shortlist.Add(file.name, file.allocated_bytes, file.apparent_bytes, file.data,
                          file.path_key);
            all.files++;
            all.allocated_bytes += file.allocated_bytes;
            all.apparent_bytes += file.apparent_bytes;
        }
        const OwnFiles own = shortlist.Take();
        ASSERT_EQ(own.largest.size(), expected.size());
        FileSums listed;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            EXPECT_EQ(own.largest[k].name, expected[k].name) << k;
            EXPECT_EQ(own.largest[k].apparent_bytes, expected[k].apparent_bytes) << k;
            EXPECT_EQ(own.largest[k].path_key, expected[k].path_key) << k;
            EXPECT_EQ(own.largest[k].data.id, expected[k].data.id) << k;
            listed.files++;
            listed.allocated_bytes += own.largest[k].allocated_bytes;
            listed.apparent_bytes += own.largest[k].apparent_bytes;
        }
        EXPECT_EQ(own.rest.files + listed.files, all.files);
        EXPECT_EQ(own.rest.allocated_bytes + listed.allocated_bytes, all.allocated_bytes);
        EXPECT_EQ(own.rest.apparent_bytes + listed.apparent_bytes, all.apparent_bytes);
        EXPECT_TRUE(shortlist.Take().largest.empty()) << "taken once";
    }
}

TEST(FolderTree, EachKeptFolderKeepsItsLargestFilesAndSumsTheRestExactly) {
    FakeReader reader;
    reader.batch_size = 3;
    BuildRandomTree(reader, 120, 11);
    // Folders with more files than are kept, ties at the cut, empty files.
    FakeNode& crowded = reader.root.AddFolder(N("crowded"));
    for (int i = 0; i < 40; ++i)
        crowded.AddFile(Name('c', i), static_cast<std::uint64_t>(i % 7) * 4096, 100 + i % 3);
    crowded.AddFolder(N("inner")).AddFile(N("deep.bin"), 1 << 20, 1 << 20);
    for (int i = 0; i < 30; ++i) reader.root.AddFile(Name('r', i), 8192, 8000);
    for (unsigned threads : {1u, 3u}) {
        ScanOptions options;
        options.threads = threads;
        const ScanResult result = Scanner(reader, options).Run(N("/root"));
        const FolderTree& tree = result.tree;
        ASSERT_GT(tree.folders.size(), 100u);
        for (std::uint32_t i = 0; i < tree.folders.size(); ++i) {
            std::vector<TreeFile> files;
            FileSums all;
            for (const auto& child : NodeOf(reader, tree, i).children) {
                if (child->kind == EntryKind::kDirectory) continue;
                all.files++;
                all.allocated_bytes += child->stats.allocated_bytes;
                all.apparent_bytes += child->stats.apparent_bytes;
                if (child->stats.allocated_bytes > 0)
                    files.push_back({child->name,
                                     child->stats.allocated_bytes,
                                     child->stats.apparent_bytes,
                                     {},
                                     0});
            }
            std::sort(files.begin(), files.end(), [](const TreeFile& a, const TreeFile& b) {
                return std::tie(b.allocated_bytes, b.apparent_bytes, a.name) <
                       std::tie(a.allocated_bytes, a.apparent_bytes, b.name);
            });
            if (files.size() > kLargestFilesPerFolder) files.resize(kLargestFilesPerFolder);
            const TreeFolder& kept = tree.folders[i];
            ASSERT_EQ(kept.largest_files.size(), files.size()) << i;
            FileSums listed;
            for (std::size_t k = 0; k < files.size(); ++k) {
                EXPECT_EQ(kept.largest_files[k].name, files[k].name) << i << " " << k;
                EXPECT_EQ(kept.largest_files[k].allocated_bytes, files[k].allocated_bytes);
                listed.files++;
                listed.allocated_bytes += files[k].allocated_bytes;
                listed.apparent_bytes += files[k].apparent_bytes;
            }
            EXPECT_EQ(kept.other_files.files + listed.files, all.files) << i;
            EXPECT_EQ(kept.other_files.allocated_bytes + listed.allocated_bytes,
                      all.allocated_bytes)
                << i;
            EXPECT_EQ(kept.other_files.apparent_bytes + listed.apparent_bytes, all.apparent_bytes)
                << i;
            EXPECT_LE(all.files, kept.other.files) << "the own files are part of other";
        }
    }
}

// A hand-made tree: the root holds a chain a/b/c whose last folder holds the
// data, beside three media folders of their own files, and one folder that
// holds a subfolder and files of its own.
FolderTree ChainAndMediaTree() {
    auto folder = [](const char* name, std::uint32_t parent, std::uint64_t bytes,
                     std::uint64_t other_bytes, std::uint64_t other_files,
                     std::uint64_t other_folders) {
        TreeFolder f;
        f.name = NativeString(name, name + std::strlen(name));
        f.parent = parent;
        f.subtree = {bytes, bytes, other_files, 1};
        f.other = {other_bytes, other_bytes, other_files, other_folders};
        f.other_files = {other_bytes - 4096, other_bytes - 4096, other_files};
        return f;
    };
    FolderTree tree;
    tree.limit = 100;
    const std::uint32_t none = TreeFolder::kNoParent;
    tree.folders = {folder("/home", none, 200 << 20, 4096, 0, 0),
                    folder("a", 0, 120 << 20, 4096, 0, 0),
                    folder("b", 1, (120 << 20) - 4096, 4096, 0, 0),
                    folder("c", 2, (120 << 20) - 8192, (120 << 20) - 8192, 9, 0),
                    folder("Videos", 0, 19 << 20, 19 << 20, 3, 0),
                    folder("Music", 0, 18 << 20, 18 << 20, 40, 0),
                    folder("Photos", 0, 17 << 20, 17 << 20, 80, 0),
                    folder("Mixed", 0, 10 << 20, 6 << 20, 5, 2),
                    folder("Inner", 7, 4 << 20, 4 << 20, 1, 0)};
    tree.folders[3].largest_files = {{N("disk.img"), 100 << 20, 100 << 20, {}, 0}};
    tree.folders[3].other_files = {(20 << 20) - 12288, (20 << 20) - 12288, 8};
    return tree;
}

TEST(DistinctLargestFolders, AChainOfSingleSubfoldersIsNamedOnceByItsLastFolder) {
    const FolderTree tree = ChainAndMediaTree();
    const auto list = report::DistinctLargestFolders(tree, 5, kSep);
    std::vector<NativeString> paths;
    for (const auto& f : list) paths.push_back(f.path);
    const NativeString home = N("/home") + NativeString(1, kSep);
    EXPECT_EQ(paths, (std::vector<NativeString>{
                         N("/home"), home + N("a") + kSep + N("b") + kSep + N("c"),
                         home + N("Videos"), home + N("Music"), home + N("Photos")}))
        << "a and a/b hold nothing but their one subfolder";
    EXPECT_EQ(list[1].own_bytes, (120u << 20) - 12288) << "the listed file and the other files";
    EXPECT_EQ(list[1].subtree.allocated_bytes, (120u << 20) - 8192);
    EXPECT_EQ(list[0].own_bytes, 0u);
    const auto all = report::DistinctLargestFolders(tree, 100, kSep);
    ASSERT_EQ(all.size(), 7u) << "a folder with files or other subfolders beside its one kept "
                                 "subfolder is a place of its own";
    EXPECT_EQ(all[5].path, home + N("Mixed"));
}

TEST(Treemap, CellsLieInsideTheirParentsAndSiblingsNeverOverlap) {
    FakeReader reader;
    BuildRandomTree(reader, 300, 11);
    const FolderTree tree = Scanner(reader).Run(N("/root")).tree;
    const std::vector<report::TreemapCell> cells = report::LayoutTreemap(tree);
    ASSERT_GT(cells.size(), 20u);
    std::map<std::uint32_t, Rect> folder_rect;
    for (const auto& cell : cells) {
        if (!cell.other) folder_rect[cell.folder] = cell.rect;
    }
    std::map<std::uint32_t, std::vector<Rect>> inside;
    for (const auto& cell : cells) {
        const std::uint32_t parent = cell.other ? cell.folder : tree.folders[cell.folder].parent;
        if (parent == TreeFolder::kNoParent) continue;
        ASSERT_TRUE(folder_rect.count(parent)) << "a cell whose parent is not drawn";
        EXPECT_TRUE(Inside(cell.rect, folder_rect[parent]));
        for (const Rect& sibling : inside[parent]) EXPECT_FALSE(Overlap(cell.rect, sibling));
        inside[parent].push_back(cell.rect);
    }
}

NativeString Path(std::initializer_list<const NativeChar*> parts) {
    NativeString path = N("/root");
    for (const NativeChar* part : parts) path += kSep + NativeString(part);
    return path;
}

ScanResult ScanOf(FakeReader& reader, std::size_t tree_folders = 5000) {
    reader.separator = kSep;
    ScanOptions options;
    options.tree_folders = tree_folders;
    return Scanner(reader, options).Run(N("/root"));
}

report::ReportSnapshot Reread(const ScanResult& result) {
    const std::string json = ReportJson(result);
    testing::KeepForSchemaCheck(json, "changes");
    auto snapshot = report::ReadReportSnapshot(json);
    EXPECT_TRUE(snapshot.has_value());
    return snapshot.value_or(report::ReportSnapshot{});
}

const SizeChange* Find(const ReportChanges& changes, const NativeString& path) {
    for (const auto& c : changes.largest_changes) {
        if (c.path == path) return &c;
    }
    return nullptr;
}

#if defined(_WIN32)
const NativeString kOddName = NativeString(L"odd") + wchar_t(0xDC00);
#else
const NativeString kOddName = "odd\xFF";
#endif

TEST(Changes, GrownShrunkNewAndGoneFoldersAndFilesLargestFirstRenamedIsGoneAndNew) {
    FakeReader before;
    before.root.AddFolder(N("docs")).AddFile(N("a.txt"), 8192, 8000);
    before.root.AddFolder(N("photos")).AddFile(N("p1.jpg"), 100000, 100000);
    before.root.AddFolder(N("old")).AddFile(N("x.bin"), 50000, 50000);
    before.root.AddFolder(N("keep")).AddFile(N("k.bin"), 20000, 20000);
    before.root.AddFolder(kOddName).AddFile(N("o.bin"), 1000, 1000);
    FakeReader after;
    FakeNode& docs = after.root.AddFolder(N("docs"));
    docs.AddFile(N("a.txt"), 16384, 16000);
    docs.AddFile(N("b.txt"), 4096, 4000);
    after.root.AddFolder(N("photos")).AddFile(N("p2.jpg"), 30000, 30000);
    after.root.AddFolder(N("music")).AddFolder(N("album")).AddFile(N("m.mp3"), 70000, 70000);
    after.root.AddFolder(N("kept")).AddFile(N("k.bin"), 20000, 20000);
    after.root.AddFolder(kOddName).AddFile(N("o.bin"), 3000, 3000);

    const ScanResult now = ScanOf(after);
    testing::KeepForSchemaCheck(ReportJson(now), "changes-after");
    const ReportChanges changes =
        report::ComputeChanges(Reread(ScanOf(before)), now, "earlier.json");
    EXPECT_EQ(changes.previous.report, "earlier.json");
    auto expect = [&](const NativeString& path, bool folder, ChangeKind kind, std::uint64_t was,
                      std::uint64_t is) {
        const SizeChange* c = Find(changes, path);
        ASSERT_TRUE(c) << ToUtf8Lossy(path);
        EXPECT_EQ(c->folder, folder);
        EXPECT_EQ(c->change, kind) << ToUtf8Lossy(path);
        EXPECT_EQ(c->bound, SizeBound::kNone) << ToUtf8Lossy(path);
        EXPECT_EQ(c->allocated_before, was) << ToUtf8Lossy(path);
        EXPECT_EQ(c->allocated_after, is) << ToUtf8Lossy(path);
    };
    using enum ChangeKind;
    expect(Path({N("docs")}), true, kGrew, 4096 + 8192, 4096 + 16384 + 4096);
    expect(Path({N("photos")}), true, kShrank, 104096, 34096);
    expect(Path({N("old")}), true, kGone, 54096, 0);
    expect(Path({N("keep")}), true, kGone, 24096, 0);
    expect(Path({N("kept")}), true, kNew, 0, 24096);
    expect(Path({kOddName.c_str()}), true, kGrew, 5096, 7096);
    expect(Path({N("music"), N("album")}), true, kNew, 0, 74096);
    EXPECT_FALSE(Find(changes, Path({N("music")}))) << "all of its change is in album";
    EXPECT_FALSE(Find(changes, N("/root"))) << "the root's change is the totals'";
    expect(Path({N("docs"), N("b.txt")}), false, kNew, 0, 4096);
    expect(Path({N("photos"), N("p1.jpg")}), false, kGone, 100000, 0);
    expect(Path({N("kept"), N("k.bin")}), false, kNew, 0, 20000);
    EXPECT_FALSE(Find(changes, Path({N("keep"), N("k.bin")}))) << "inside a gone folder";
    EXPECT_FALSE(Find(changes, Path({N("old"), N("x.bin")}))) << "inside a gone folder";
    for (std::size_t i = 1; i < changes.largest_changes.size(); ++i) {
        EXPECT_GE(std::abs(report::SignedChange(changes.largest_changes[i - 1])),
                  std::abs(report::SignedChange(changes.largest_changes[i])));
    }
}

// Hard links everywhere, at several depths, many folders of equal size and a
// tree cut short of the whole: what a worker meets first must not show.
TEST(Changes, AnUnchangedTreeWithHardLinksIsUnchangedAtAnyThreadCount) {
    FakeReader reader;
    reader.separator = kSep;
    reader.latency = std::chrono::microseconds(200);  // workers overtake each other
    FakeNode& system = reader.root.AddFolder(N("system"));
    FakeNode& store = reader.root.AddFolder(N("store")).AddFolder(N("v1")).AddFolder(N("x64"));
    FakeNode& apps = reader.root.AddFolder(N("apps"));
    for (int i = 0; i < 12; ++i) {
        const NativeString name = NativeString(N("lib")) + NativeString(1, NativeChar('a' + i));
        const std::uint64_t bytes = 4096u * (1 + i % 3);
        const std::uint64_t id = 100 + i;
        system.AddFile(name, bytes, bytes, id, 3);
        store.AddFolder(name).AddFile(N("copy"), bytes, bytes, id, 3);
        apps.AddFolder(name).AddFolder(N("bin")).AddFile(N("link"), bytes, bytes, id, 3);
    }
    std::vector<ScanResult> results;
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        ScanOptions options;
        options.threads = threads;
        options.tree_folders = 20;
        options.top_count = 5;
        results.push_back(Scanner(reader, options).Run(N("/root")));
    }
    const report::ReportSnapshot first = Reread(results[0]);
    for (const ScanResult& result : results) {
        SCOPED_TRACE(result.threads);
        ASSERT_EQ(result.tree.folders.size(), results[0].tree.folders.size());
        for (std::size_t i = 0; i < result.tree.folders.size(); ++i) {
            EXPECT_EQ(result.tree.folders[i].name, results[0].tree.folders[i].name);
            EXPECT_EQ(result.tree.folders[i].subtree.allocated_bytes,
                      results[0].tree.folders[i].subtree.allocated_bytes);
        }
        EXPECT_EQ(result.tree.folders[0].subtree.allocated_bytes, result.totals.allocated_bytes);
        const ReportChanges changes = report::ComputeChanges(first, result, "earlier.json");
        EXPECT_TRUE(changes.largest_changes.empty()) << changes.largest_changes.size();
        ASSERT_EQ(result.largest_files.size(), results[0].largest_files.size());
        for (std::size_t i = 0; i < result.largest_files.size(); ++i)
            EXPECT_EQ(result.largest_files[i].path, results[0].largest_files[i].path);
    }
}

// What the page says of sizes beyond counting, of no change, and of every
// reason a folder could not be read.
TEST(HtmlPage, SaturatedSizesReadAtLeastNoChangeIsUncolouredAndEveryReasonHasWords) {
    ScanResult result;
    result.root = N("/root");
    result.totals.allocated_bytes = ~std::uint64_t{0};
    result.totals.bytes_saturated = true;
    for (OpenError reason :
         {OpenError::kAccessDenied, OpenError::kNotFound, OpenError::kNotDirectory,
          OpenError::kOther, OpenError::kNoDescriptors})
        result.unreadable.push_back({N("/root/x"), reason});
    result.totals.unreadable_folders = result.unreadable.size();
    ReportAddenda addenda;
    addenda.changes.emplace();
    addenda.changes->previous.allocated_bytes = result.totals.allocated_bytes;
    const std::string page = report::ReportHtml(result, addenda);
    EXPECT_NE(page.find("title=\"at least 18,446,744,073,709,551,615 bytes\">at least 16.0 EB"),
              std::string::npos);
    EXPECT_NE(page.find("<span title=\"0 bytes\">0 bytes</span>"), std::string::npos)
        << "a change of nothing has no colour";
    EXPECT_NE(page.find("<td>too many open files</td>"), std::string::npos);
}

TEST(Changes, ANameMissingFromATruncatedTreeOrListIsNotCalledNewOrGoneButBounded) {
    FakeReader before;
    before.root.AddFolder(N("big")).AddFile(N("big.bin"), 900000, 900000);
    FakeReader after;
    after.root.AddFolder(N("big")).AddFile(N("big.bin"), 900000, 900000);
    FakeNode& small = before.root.AddFolder(N("small"));
    FakeNode& now_small = after.root.AddFolder(N("small"));
    for (int i = 0; i < 30; ++i) {
        const NativeString name = Name('s', i);
        small.AddFile(name, 100, 100);
        now_small.AddFile(name, 100, 100);
    }
    now_small.AddFile(N("new.bin"), 5000, 5000);
    after.root.AddFolder(N("fresh")).AddFile(N("f.bin"), 200, 200);
    // The earlier tree kept only the root and "big"; its file list only 20
    // of 31 files: what was below them is unknown.
    ScanResult then = ScanOf(before, 2);
    const ReportChanges changes = report::ComputeChanges(Reread(then), ScanOf(after), "");
    EXPECT_FALSE(Find(changes, Path({N("small")})));
    EXPECT_FALSE(Find(changes, Path({N("fresh")})));
    // The files are larger than anything the earlier list kept: they grew,
    // from at most its smallest entry (or from nothing).
    for (const NativeString& file :
         {Path({N("small"), N("new.bin")}), Path({N("fresh"), N("f.bin")})}) {
        const SizeChange* c = Find(changes, file);
        ASSERT_TRUE(c) << ToUtf8Lossy(file);
        EXPECT_EQ(c->change, ChangeKind::kGrew);
        EXPECT_EQ(c->bound, SizeBound::kBefore);
        EXPECT_EQ(c->allocated_before, 100u);
    }
    EXPECT_EQ(changes.largest_changes.size(), 2u);
}

TEST(Ledger, FoundAndRemainderAddUpToTheUsedSpace) {
    ScanTotals totals;
    totals.allocated_bytes = 600;
    totals.unreadable_folders = 2;
    totals.online_only_bytes = 50;
    Ledger l = report::MakeLedger({1000, 300, "1A2B-3C4D"}, totals);
    EXPECT_EQ(l.used_bytes, 700u);
    EXPECT_EQ(l.remainder_bytes, 100);
    EXPECT_EQ(static_cast<std::int64_t>(l.found_bytes) + l.remainder_bytes,
              static_cast<std::int64_t>(l.used_bytes));
    EXPECT_EQ(l.unreadable_folders, 2u);
    EXPECT_EQ(l.online_only_bytes, 50u);
    // More found than used (files written during the scan): a negative remainder.
    EXPECT_EQ(report::MakeLedger({1000, 900, ""}, totals).remainder_bytes, -500);
    EXPECT_EQ(report::MakeLedger({100, 900, ""}, totals).used_bytes, 0u);
    totals.allocated_bytes = ~0ull;
    EXPECT_EQ(report::MakeLedger({0, 0, ""}, totals).remainder_bytes, INT64_MIN);
    EXPECT_EQ(report::VolumeKey("", N("C:\\")), report::VolumeKey("", N("c:")));
    EXPECT_NE(report::VolumeKey("1A2B-3C4D", N("C:\\")), report::VolumeKey("", N("C:\\")));
}

// The command line reads volume images, whose host volume says nothing of
// them; the component reads drives, which are their own volume.
TEST(Addenda, TheTablesFiguresMakeTheLedgerAndOnlyADriveFallsBackToThePlatform) {
    ScanResult result;
    result.status = ScanStatus::kCompleted;
    result.totals.allocated_bytes = 600;
#if defined(_WIN32)
    result.root = N("C:\\");
#else
    result.root = N("/");
#endif
    const bool platform_knows = report::QueryVolume(result.root).has_value();
    using report::LedgerFallback;
    SourceFacts walk;
    walk.method.table_unavailable = "not an NTFS volume";
    const ReportAddenda walked = report::AssembleAddenda(result, walk, LedgerFallback::kNone);
    EXPECT_EQ(walked.method.table_unavailable, "not an NTFS volume");
    EXPECT_EQ(walked.ledger.has_value(), platform_knows);

    SourceFacts table;
    table.method.file_table = true;
    EXPECT_FALSE(report::AssembleAddenda(result, table, LedgerFallback::kNone).ledger);
    EXPECT_EQ(report::AssembleAddenda(result, table, LedgerFallback::kPlatform).ledger.has_value(),
              platform_knows);
    table.table_volume = TableVolumeFigures{1000, 300, "1A2B-3C4D", {}};
    table.table_volume->explained.metadata = 40;
    const auto ledger = report::AssembleAddenda(result, table, LedgerFallback::kNone).ledger;
    ASSERT_TRUE(ledger);
    EXPECT_EQ(ledger->used_bytes, 700u);
    EXPECT_EQ(ledger->remainder_bytes, 60);
    EXPECT_EQ(ledger->volume_serial, "1A2B-3C4D");
    result.status = ScanStatus::kCancelled;
    EXPECT_FALSE(report::AssembleAddenda(result, table, LedgerFallback::kPlatform).ledger);

    // The earlier report is chosen knowing the ledger, which names the volume.
    result.status = ScanStatus::kCompleted;
    const auto earlier = report::ReadReportSnapshot(ReportJson(result));
    ASSERT_TRUE(earlier);
    const ReportAddenda compared = report::AssembleAddenda(
        result, table, LedgerFallback::kNone, [&](const ReportAddenda& so_far) {
            EXPECT_EQ(so_far.ledger->volume_serial, "1A2B-3C4D");
            return report::EarlierReport{&*earlier, "C-20261207-201530.json"};
        });
    ASSERT_TRUE(compared.changes);
    EXPECT_EQ(compared.changes->previous.report, "C-20261207-201530.json");
}

TEST(ReportSnapshot, TheIndexReadsOnlyTheHeadOfAReport) {
    FakeReader reader;
    BuildRandomTree(reader, 50, 3);
    const ScanResult result = ScanOf(reader);
    ReportAddenda addenda;
    addenda.ledger = report::MakeLedger({1 << 30, 1 << 20, "1A2B-3C4D"}, result.totals);
    const std::string json = ReportJson(result, addenda);
    testing::KeepForSchemaCheck(json, "ledger");
    // Everything after the head is cut off: a summary still reads.
    const std::string head = json.substr(0, json.find("\"largest_folders\"") + 30);
    const auto summary = report::ReadReportSnapshot(head, true);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->totals.allocated_bytes, result.totals.allocated_bytes);
    EXPECT_EQ(summary->used_bytes, addenda.ledger->used_bytes);
    EXPECT_EQ(summary->volume_serial, "1A2B-3C4D");
    EXPECT_EQ(summary->started_at, Iso8601Utc(result.started_at));
    EXPECT_FALSE(report::ReadReportSnapshot(head)) << "a whole report must be whole";
    EXPECT_EQ(report::ReadReportSnapshot(json)->tree.folders.size(), result.tree.folders.size());
}

TEST(ReportsIndex, KeepsTheNewest20PerVolumeAndListsNewestFirst) {
    std::vector<report::IndexEntry> entries;
    auto add = [&](const std::string& key, int day, const std::string& suffix = "") {
        report::IndexEntry e;
        e.volume_key = key;
        e.drive = key == "a" ? "C:\\" : "D:<b>\\";
        e.started_at =
            "2026-01-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "T10:00:00Z";
        e.json_name = key + "-202601" + std::to_string(10 + day) + "-100000" + suffix + ".json";
        e.status = "completed";
        e.found_bytes = static_cast<std::uint64_t>(day) * 1024;
        entries.push_back(e);
    };
    for (int day = 1; day <= 25; ++day) add("a", day);
    for (int day = 1; day <= 3; ++day) add("b", day);
    add("a", 25, "-2");  // a second report in the same second
    const std::vector<std::size_t> retire = report::EntriesToRetire(entries);
    EXPECT_EQ(retire, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(report::Newer(entries.back(), entries[24]));

    const std::string page = report::IndexHtml(entries);
    EXPECT_NE(page.find("D:&lt;b&gt;\\"), std::string::npos);
    EXPECT_EQ(page.find("D:<b>"), std::string::npos);
    EXPECT_LT(page.find("a-20260135-100000-2.json"), page.find("a-20260135-100000.json"));
    EXPECT_LT(page.find("a-20260135-100000.json"), page.find("a-20260134-100000.json"));
    EXPECT_NE(page.find("+1.0 KB"), std::string::npos) << "the change since the previous report";
    EXPECT_NE(report::IndexHtml({}).find("No drive has been analysed yet."), std::string::npos);
}

// A drive that vanished before its turn still gets a report saying so; it
// must not push a real report out, pile up, pass for a first report, or
// look like an analysis in the index.
TEST(ReportsIndex, ADriveThatCouldNotBeReadIsMarkedAndTakesNoPlaceOfItsVolume) {
    std::vector<report::IndexEntry> entries;
    auto add = [&](int day, const std::string& status) {
        report::IndexEntry e;
        e.volume_key = "drive:G";
        e.drive = "G:\\";
        e.started_at =
            "2026-02-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "T10:00:00Z";
        e.json_name =
            "G-202602" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "-100000.json";
        e.status = status;
        e.found_bytes = status == "completed" ? 4096 : 0;
        entries.push_back(e);
    };
    for (int day = 1; day <= 20; ++day) add(day, "completed");
    add(21, "root_unreadable");
    add(22, "root_unreadable");
    EXPECT_EQ(report::EntriesToRetire(entries), (std::vector<std::size_t>{20}))
        << "the 20 readable reports stay; of the failed ones only the newest";

    const std::string page = report::IndexHtml(entries);
    const std::size_t failed_row = page.find("G-20260222-100000.json");
    ASSERT_NE(failed_row, std::string::npos);
    const std::string row = page.substr(failed_row, page.find("</tr>", failed_row) - failed_row);
    EXPECT_NE(row.find("could not be read"), std::string::npos) << row;
    EXPECT_EQ(row.find("first report"), std::string::npos) << row;
    EXPECT_EQ(row.find("0 B"), std::string::npos) << "nothing was found, not 0 bytes: " << row;

    ScanResult unreadable;
    unreadable.root = N("G:");
    unreadable.status = ScanStatus::kRootUnreadable;
    unreadable.root_error = OpenError::kNotFound;
    report::HtmlOptions options;
    options.looked_for_previous = true;
    const std::string html = report::ReportHtml(unreadable, {}, options);
    EXPECT_EQ(html.find("first report"), std::string::npos);
    EXPECT_NE(html.find("the drive could not be read"), std::string::npos);
}

}  // namespace
}  // namespace orvane::engine
