#include "report/changes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane::engine::report {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// What one report's tree says of a folder compared with the other's.
enum class Presence : std::uint8_t {
    kUnknown,  // not in the other tree, which may have been too small to keep it
    kMatched,  // in both trees
    kChanged,  // new (in the newer tree) or gone (in the earlier one) for certain
    kInside,   // below a folder that is gone: never listed apart
};

// Every folder's children, sorted by name, as ranges of one array.
class Children {
public:
    explicit Children(const FolderTree& tree) : tree_(tree), begin_(tree.folders.size() + 1, 0) {
        for (std::size_t i = 1; i < tree.folders.size(); ++i) begin_[tree.folders[i].parent + 1]++;
        for (std::size_t i = 1; i < begin_.size(); ++i) begin_[i] += begin_[i - 1];
        list_.resize(tree.folders.size() > 0 ? tree.folders.size() - 1 : 0);
        std::vector<std::uint32_t> next(begin_.begin(), begin_.end() - 1);
        for (std::size_t i = 1; i < tree.folders.size(); ++i)
            list_[next[tree.folders[i].parent]++] = static_cast<std::uint32_t>(i);
        for (std::size_t i = 0; i + 1 < begin_.size(); ++i) {
            std::sort(list_.begin() + begin_[i], list_.begin() + begin_[i + 1],
                      [&](std::uint32_t a, std::uint32_t b) { return Name(a) < Name(b); });
        }
    }
    const std::uint32_t* First(std::uint32_t folder) const { return list_.data() + begin_[folder]; }
    const std::uint32_t* Last(std::uint32_t folder) const {
        return list_.data() + begin_[folder + 1];
    }
    const NativeString& Name(std::uint32_t folder) const { return tree_.folders[folder].name; }
    // The child of `folder` called `name`, or kNone.
    std::uint32_t Find(std::uint32_t folder, NativeStringView name) const {
        const std::uint32_t* at = std::lower_bound(First(folder), Last(folder), name,
                                                   [&](std::uint32_t child, NativeStringView n) {
                                                       return NativeStringView(Name(child)) < n;
                                                   });
        return at != Last(folder) && Name(*at) == name ? *at : kNone;
    }

private:
    const FolderTree& tree_;
    std::vector<std::uint32_t> begin_;
    std::vector<std::uint32_t> list_;
};

// Parents before children: what the reader checks of an earlier tree and
// the scanner guarantees of its own. A tree that is not is left out.
bool LinksSound(const FolderTree& tree) {
    if (tree.folders.empty()) return true;
    if (tree.folders[0].parent != TreeFolder::kNoParent) return false;
    for (std::size_t i = 1; i < tree.folders.size(); ++i) {
        if (tree.folders[i].parent >= i) return false;
    }
    return tree.folders.size() < kNone;
}

struct Candidate {
    bool folder = true;
    ChangeKind change = ChangeKind::kGrew;
    SizeBound bound = SizeBound::kNone;
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    std::uint32_t after_node = kNone;    // a folder's place in the newer tree
    std::uint32_t before_node = kNone;   // a gone folder's place in the earlier one
    std::uint32_t parent = kNone;        // the newer tree's folder above it
    const NativeString* file = nullptr;  // a file's path below the root
    long double Change() const {
        return static_cast<long double>(after) - static_cast<long double>(before);
    }
    long double Magnitude() const { return std::fabs(Change()); }
};

Candidate Resized(bool folder, std::uint64_t before, std::uint64_t after) {
    Candidate c;
    c.folder = folder;
    c.change = after > before ? ChangeKind::kGrew : ChangeKind::kShrank;
    c.before = before;
    c.after = after;
    return c;
}

// The two trees side by side: which folders are in both, which are new or
// gone for certain, and which cannot be told.
class TreeMatch {
public:
    TreeMatch(const FolderTree& before, const FolderTree& after)
        : before_(LinksSound(before) ? before : empty_),
          after_(LinksSound(after) ? after : empty_),
          before_children_(before_),
          after_children_(after_),
          before_state_(before_.folders.size(), Presence::kUnknown),
          after_state_(after_.folders.size(), Presence::kUnknown),
          before_match_(before_.folders.size(), kNone) {
        if (!before_.folders.empty() && !after_.folders.empty()) Match();
        Inherit();
    }

    void FolderCandidates(std::vector<Candidate>& out) const;
    const FolderTree& before() const { return before_; }
    const FolderTree& after() const { return after_; }
    // Whether the file at `relative` (below the root) is new for certain,
    // and whether one of the earlier report is gone or inside a gone folder.
    bool CertainlyNewFile(NativeStringView relative) const;
    Presence EarlierFile(NativeStringView relative) const;

private:
    void Match();
    void MatchChildren(std::uint32_t b, std::uint32_t a, std::vector<std::uint32_t>& pending);
    void Inherit();
    static bool KeptAll(const FolderTree& tree, std::uint32_t folder) {
        return tree.folders[folder].other.folders == 0;
    }
    struct Walk {
        std::uint32_t folder = kNone;  // the deepest folder of the path in the tree
        bool whole = false;            // the whole path was found
    };
    static Walk Follow(const Children& children, NativeStringView folder_path);

    const FolderTree empty_;
    const FolderTree& before_;
    const FolderTree& after_;
    Children before_children_;
    Children after_children_;
    std::vector<Presence> before_state_;
    std::vector<Presence> after_state_;
    std::vector<std::uint32_t> before_match_;  // the newer tree's folder for each earlier one
};

void TreeMatch::Match() {
    std::vector<std::uint32_t> pending{0, 0};  // pairs: earlier, newer
    before_state_[0] = after_state_[0] = Presence::kMatched;
    before_match_[0] = 0;
    while (!pending.empty()) {
        const std::uint32_t a = pending.back();
        pending.pop_back();
        const std::uint32_t b = pending.back();
        pending.pop_back();
        MatchChildren(b, a, pending);
    }
}

void TreeMatch::MatchChildren(std::uint32_t b, std::uint32_t a,
                              std::vector<std::uint32_t>& pending) {
    const std::uint32_t *x = before_children_.First(b), *x_end = before_children_.Last(b);
    const std::uint32_t *y = after_children_.First(a), *y_end = after_children_.Last(a);
    const Presence gone = KeptAll(after_, a) ? Presence::kChanged : Presence::kUnknown;
    const Presence added = KeptAll(before_, b) ? Presence::kChanged : Presence::kUnknown;
    while (x != x_end || y != y_end) {
        const int order = x == x_end ? 1
                          : y == y_end
                              ? -1
                              : before_children_.Name(*x).compare(after_children_.Name(*y));
        if (order < 0) {
            before_state_[*x] = gone;
            before_match_[*x] = kNone;
            x++;
        } else if (order > 0) {
            after_state_[*y++] = added;
        } else {
            before_state_[*x] = after_state_[*y] = Presence::kMatched;
            before_match_[*x] = *y;
            pending.push_back(*x++);
            pending.push_back(*y++);
        }
    }
}

// What was not reached inside a new folder is new; inside a gone one, inside.
void TreeMatch::Inherit() {
    for (std::size_t i = 1; i < after_.folders.size(); ++i) {
        const Presence parent = after_state_[after_.folders[i].parent];
        if (parent == Presence::kChanged && after_state_[i] == Presence::kUnknown)
            after_state_[i] = Presence::kChanged;
    }
    for (std::size_t i = 1; i < before_.folders.size(); ++i) {
        const Presence parent = before_state_[before_.folders[i].parent];
        if (parent == Presence::kChanged || parent == Presence::kInside)
            before_state_[i] = Presence::kInside;
    }
}

void TreeMatch::FolderCandidates(std::vector<Candidate>& out) const {
    for (std::uint32_t b = 1; b < before_.folders.size(); ++b) {
        const std::uint32_t a = before_match_[b];
        if (a != kNone && a != 0 &&
            before_.folders[b].subtree.allocated_bytes !=
                after_.folders[a].subtree.allocated_bytes) {
            Candidate c = Resized(true, before_.folders[b].subtree.allocated_bytes,
                                  after_.folders[a].subtree.allocated_bytes);
            c.after_node = a;
            c.parent = after_.folders[a].parent;
            out.push_back(c);
        } else if (before_state_[b] == Presence::kChanged) {
            Candidate c;
            c.change = ChangeKind::kGone;
            c.before = before_.folders[b].subtree.allocated_bytes;
            c.before_node = b;
            c.parent = before_match_[before_.folders[b].parent];
            out.push_back(c);
        }
    }
    for (std::uint32_t a = 1; a < after_.folders.size(); ++a) {
        if (after_state_[a] != Presence::kChanged) continue;
        Candidate c;
        c.change = ChangeKind::kNew;
        c.after = after_.folders[a].subtree.allocated_bytes;
        c.after_node = a;
        c.parent = after_.folders[a].parent;
        out.push_back(c);
    }
}

TreeMatch::Walk TreeMatch::Follow(const Children& children, NativeStringView folder_path) {
    Walk walk;
    walk.folder = 0;
    std::size_t start = 0;
    while (start < folder_path.size()) {
        std::size_t end = folder_path.find(kNativeSeparator, start);
        if (end == NativeStringView::npos) end = folder_path.size();
        const std::uint32_t child =
            children.Find(walk.folder, folder_path.substr(start, end - start));
        if (child == kNone) return walk;
        walk.folder = child;
        start = end + 1;
    }
    walk.whole = true;
    return walk;
}

NativeStringView FolderOf(NativeStringView relative) {
    const std::size_t cut = relative.rfind(kNativeSeparator);
    return cut == NativeStringView::npos ? NativeStringView() : relative.substr(0, cut);
}

bool TreeMatch::CertainlyNewFile(NativeStringView relative) const {
    if (after_.folders.empty() || before_.folders.empty()) return false;
    const NativeStringView folder = FolderOf(relative);
    const Walk now = Follow(after_children_, folder);
    if (after_state_[now.folder] == Presence::kChanged) return true;
    // Its folder was not there: the earlier tree stops above it at a folder
    // that kept every subfolder.
    const Walk then = Follow(before_children_, folder);
    return !then.whole && KeptAll(before_, then.folder);
}

Presence TreeMatch::EarlierFile(NativeStringView relative) const {
    if (after_.folders.empty() || before_.folders.empty()) return Presence::kUnknown;
    const NativeStringView folder = FolderOf(relative);
    const Walk then = Follow(before_children_, folder);
    const Presence state = before_state_[then.folder];
    if (state == Presence::kChanged || state == Presence::kInside) return Presence::kInside;
    const Walk now = Follow(after_children_, folder);
    return !now.whole && KeptAll(after_, now.folder) ? Presence::kChanged : Presence::kUnknown;
}

// A folder's change that one subfolder accounts for (nine tenths of it or
// more, the rest being the folder's own size and files).
void DropExplainedFolders(std::vector<Candidate>& candidates, std::size_t after_folders) {
    std::vector<long double> most_up(after_folders, 0), most_down(after_folders, 0);
    for (const Candidate& c : candidates) {
        if (c.parent == kNone) continue;
        most_up[c.parent] = std::max(most_up[c.parent], c.Change());
        most_down[c.parent] = std::min(most_down[c.parent], c.Change());
    }
    std::erase_if(candidates, [&](const Candidate& c) {
        if (c.after_node == kNone) return false;
        const long double change = c.Change();
        return (change > 0 && most_up[c.after_node] >= change * 0.9L) ||
               (change < 0 && most_down[c.after_node] <= change * 0.9L);
    });
}

NativeString Prefix(const NativeString& root) {
    if (root.empty() || root.back() == kNativeSeparator) return root;
    return root + kNativeSeparator;
}

// A file list by path below the root, sorted, one entry a path.
struct FileList {
    std::vector<std::pair<NativeString, std::uint64_t>> files;
    bool complete = false;       // it held every file
    std::uint64_t smallest = 0;  // nothing it left out is larger

    FileList(const std::vector<FileSize>& list, const NativeString& root, std::uint64_t count) {
        const NativeString prefix = Prefix(root);
        complete = list.size() == count;
        smallest =
            list.empty() ? std::numeric_limits<std::uint64_t>::max() : list[0].allocated_bytes;
        for (const FileSize& file : list) {
            smallest = std::min(smallest, file.allocated_bytes);
            if (file.path.size() > prefix.size() && file.path.starts_with(prefix))
                files.emplace_back(file.path.substr(prefix.size()), file.allocated_bytes);
        }
        std::sort(files.begin(), files.end());
        // The same path twice is a damaged list: its first (smallest) entry counts.
        files.erase(std::unique(files.begin(), files.end(),
                                [](const auto& x, const auto& y) { return x.first == y.first; }),
                    files.end());
    }
};

Candidate FileOnlyNow(const TreeMatch& trees, const FileList& then, const NativeString& path,
                      std::uint64_t size) {
    Candidate c;
    c.folder = false;
    c.file = &path;
    c.after = size;
    if (then.complete || trees.CertainlyNewFile(path)) {
        c.change = ChangeKind::kNew;
    } else if (size > then.smallest) {
        c.change = ChangeKind::kGrew;
        c.bound = SizeBound::kBefore;
        c.before = then.smallest;
    } else {
        c.file = nullptr;  // nothing can be said
    }
    return c;
}

Candidate FileOnlyThen(const TreeMatch& trees, const FileList& now, const NativeString& path,
                       std::uint64_t size) {
    Candidate c;
    c.folder = false;
    c.before = size;
    const Presence presence = trees.EarlierFile(path);
    if (presence == Presence::kInside) return c;
    c.file = &path;
    if (now.complete || presence == Presence::kChanged) {
        c.change = ChangeKind::kGone;
    } else if (size > now.smallest) {
        c.change = ChangeKind::kShrank;
        c.bound = SizeBound::kAfter;
        c.after = now.smallest;
    } else {
        c.file = nullptr;
    }
    return c;
}

void FileCandidates(const TreeMatch& trees, const FileList& then, const FileList& now,
                    std::vector<Candidate>& out) {
    auto x = then.files.begin(), y = now.files.begin();
    while (x != then.files.end() || y != now.files.end()) {
        Candidate c;
        if (y == now.files.end() || (x != then.files.end() && x->first < y->first)) {
            c = FileOnlyThen(trees, now, x->first, x->second);
            ++x;
        } else if (x == then.files.end() || y->first < x->first) {
            c = FileOnlyNow(trees, then, y->first, y->second);
            ++y;
        } else {
            if (x->second != y->second) {
                c = Resized(false, x->second, y->second);
                c.file = &y->first;
            }
            ++x, ++y;
        }
        if (c.file) out.push_back(c);
    }
}

// The full path of a folder of `tree`, in the newer report's terms.
NativeString FolderPath(const FolderTree& tree, std::uint32_t folder, const NativeString& root) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = folder; at != 0; at = tree.folders[at].parent) chain.push_back(at);
    NativeString path = root;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        if (path.empty() || path.back() != kNativeSeparator) path.push_back(kNativeSeparator);
        path += tree.folders[*at].name;
    }
    return path;
}

SizeChange Listed(const Candidate& c, const TreeMatch& trees, const NativeString& root) {
    SizeChange change;
    change.folder = c.folder;
    change.change = c.change;
    change.bound = c.bound;
    change.allocated_before = c.before;
    change.allocated_after = c.after;
    if (c.file) {
        change.path = Prefix(root) + *c.file;
    } else if (c.after_node != kNone) {
        change.path = FolderPath(trees.after(), c.after_node, root);
    } else {
        change.path = FolderPath(trees.before(), c.before_node, root);
    }
    return change;
}

}  // namespace

long double SignedChange(const SizeChange& change) {
    return static_cast<long double>(change.allocated_after) -
           static_cast<long double>(change.allocated_before);
}

bool SameRoot(const NativeString& a, const NativeString& b) {
    auto trimmed = [](NativeStringView path) {
        while (path.size() > 1 && path.back() == kNativeSeparator) path.remove_suffix(1);
        return path;
    };
    const NativeStringView x = trimmed(a), y = trimmed(b);
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        NativeChar p = x[i], q = y[i];
        if (kNativeSeparator == '\\' && i == 0 && x.size() >= 2 && x[1] == ':') {
            // Drive letters are one letter in either case.
            if (p >= 'a' && p <= 'z') p = static_cast<NativeChar>(p - 'a' + 'A');
            if (q >= 'a' && q <= 'z') q = static_cast<NativeChar>(q - 'a' + 'A');
        }
        if (p != q) return false;
    }
    return true;
}

ReportChanges ComputeChanges(const ReportSnapshot& before, const ScanResult& after,
                             std::string before_name, std::size_t limit) {
    ReportChanges changes;
    changes.previous = PreviousTotalsOf(before, std::move(before_name));
    const TreeMatch trees(before.tree, after.tree);
    std::vector<Candidate> candidates;
    trees.FolderCandidates(candidates);
    DropExplainedFolders(candidates, trees.after().folders.size());
    const FileList then(before.largest_files, before.root, before.totals.files);
    const FileList now(after.largest_files, after.root, after.totals.files);
    FileCandidates(trees, then, now, candidates);

    auto larger = [](const Candidate& a, const Candidate& b) {
        return a.Magnitude() > b.Magnitude();
    };
    const std::size_t kept = std::min(limit, candidates.size());
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(kept),
                      candidates.end(), larger);
    for (std::size_t i = 0; i < kept; ++i)
        changes.largest_changes.push_back(Listed(candidates[i], trees, after.root));
    std::stable_sort(changes.largest_changes.begin(), changes.largest_changes.end(),
                     [](const SizeChange& a, const SizeChange& b) {
                         const long double x = std::fabs(SignedChange(a)),
                                           y = std::fabs(SignedChange(b));
                         return x != y ? x > y : a.path < b.path;
                     });
    return changes;
}

}  // namespace orvane::engine::report
