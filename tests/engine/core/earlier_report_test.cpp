// Earlier reports as the comparison meets them: sizes of 0 that are not
// absence, chains far deeper than any disk, and files any program may have
// written, which must be refused with a reason rather than believed.
#include <gtest/gtest.h>

#include <string>

#include "report/report_json.h"
#include "core/scanner.h"
#include "fake_reader.h"
#include "report/changes.h"
#include "report/html_report.h"
#include "report/json_reader.h"
#include "report/report_snapshot.h"

namespace orvane::engine {
namespace {

using testing::FakeReader;

#define N(text) ORVANE_NATIVE(text)

ScanResult Scan(FakeReader& reader) {
    reader.separator = kNativeSeparator;
    return Scanner(reader, ScanOptions{}).Run(N("/root"));
}

NativeString Under(NativeStringView name) {
    return N("/root") + (kNativeSeparator + NativeString(name));
}

const SizeChange* Find(const ReportChanges& changes, const NativeString& path) {
    for (const auto& c : changes.largest_changes) {
        if (c.path == path) return &c;
    }
    return nullptr;
}

report::ReportSnapshot Reread(const ScanResult& result) {
    std::string why;
    auto snapshot = report::ReadReportSnapshot(ReportJson(result), false, &why);
    EXPECT_TRUE(snapshot.has_value()) << why;
    return snapshot.value_or(report::ReportSnapshot{});
}

TEST(Changes, ZeroBytesAreThereAllTheSame) {
    FakeReader before;
    before.root.AddFolder(N("emptied"), 0, 0).AddFile(N("e.bin"), 8192, 8192);
    before.root.AddFolder(N("hollow"), 0, 0);
    before.root.AddFile(N("zero.txt"), 0, 0);
    before.root.AddFile(N("full.txt"), 4096, 4096);
    FakeReader after;
    after.root.AddFolder(N("emptied"), 0, 0);
    after.root.AddFolder(N("hollow"), 0, 0);
    after.root.AddFolder(N("blank"), 0, 0);
    after.root.AddFile(N("zero.txt"), 4096, 4096);
    after.root.AddFile(N("full.txt"), 0, 0);
    const ReportChanges changes = report::ComputeChanges(Reread(Scan(before)), Scan(after), "");
    auto expect = [&](NativeStringView name, ChangeKind kind, std::uint64_t was, std::uint64_t is) {
        const SizeChange* c = Find(changes, Under(name));
        ASSERT_TRUE(c) << ToUtf8Lossy(name);
        EXPECT_EQ(c->change, kind) << ToUtf8Lossy(name);
        EXPECT_EQ(c->allocated_before, was);
        EXPECT_EQ(c->allocated_after, is);
    };
    expect(N("emptied"), ChangeKind::kShrank, 8192, 0);
    expect(N("zero.txt"), ChangeKind::kGrew, 0, 4096);
    expect(N("full.txt"), ChangeKind::kShrank, 4096, 0);
    expect(N("blank"), ChangeKind::kNew, 0, 0);
    EXPECT_FALSE(Find(changes, Under(N("hollow")))) << "0 bytes then and now: no change";
    EXPECT_EQ(changes.largest_changes.back().path, Under(N("blank"))) << "real changes first";
}

// A chain of `depth` folders below the root's child `top`, all of their
// size in a file at the bottom: a tree no disk has, made directly.
ScanResult Chain(NativeStringView top, std::size_t depth, std::uint64_t bottom_bytes) {
    ScanResult result;
    result.root = N("/root");
    result.status = ScanStatus::kCompleted;
    result.tree.limit = depth + 1;
    result.tree.folders.resize(depth + 1);
    for (std::size_t i = 0; i <= depth; ++i) {
        TreeFolder& folder = result.tree.folders[i];
        folder.name = i == 0 ? result.root : i == 1 ? NativeString(top) : NativeString(N("d"));
        if (i > 0) folder.parent = static_cast<std::uint32_t>(i - 1);
        folder.subtree = {bottom_bytes, bottom_bytes, 1, depth + 1 - i};
        if (i == depth) folder.other = {bottom_bytes, bottom_bytes, 1, 0};
    }
    result.totals.allocated_bytes = result.totals.apparent_bytes = bottom_bytes;
    result.totals.files = 1;
    result.totals.folders = depth + 1;
    return result;
}

ReportAddenda WithChanges(const ReportChanges& changes) {
    ReportAddenda addenda;
    addenda.changes = changes;
    return addenda;
}

TEST(Changes, AGoneChainIsOneLineAndANewOneNamesWhereTheDataIs) {
    // 100,000 levels: a comparison that recursed, or copied a path per
    // level, would overflow the stack or take hours here.
    constexpr std::size_t kDepth = 100000;
    const report::ReportSnapshot before = Reread(Chain(N("gone"), kDepth, 1 << 20));
    const ScanResult after = Chain(N("new"), kDepth, 3 << 20);
    const ReportChanges changes = report::ComputeChanges(before, after, "");
    ASSERT_EQ(changes.largest_changes.size(), 2u);
    const SizeChange& added = changes.largest_changes[0];
    EXPECT_EQ(added.change, ChangeKind::kNew);
    EXPECT_EQ(added.allocated_after, 3u << 20);
    EXPECT_EQ(added.path.size(), Under(N("new")).size() + 2 * (kDepth - 1)) << "the deepest folder";
    const SizeChange& removed = changes.largest_changes[1];
    EXPECT_EQ(removed.change, ChangeKind::kGone);
    EXPECT_EQ(removed.path, Under(N("gone"))) << "nothing inside a gone folder is listed apart";
    const std::string page = report::ReportHtml(after, WithChanges(changes));
    // The page's data names each kept folder once (tens of bytes); a path per
    // folder would be gigabytes here.
    EXPECT_LT(page.size(), 64u * kDepth + (1u << 20)) << "the page holds no path per folder";
}

// A report of a small tree, to be damaged one way at a time.
std::string SoundReport() {
    FakeReader reader;
    reader.root.AddFolder(N("a")).AddFolder(N("b")).AddFile(N("f.bin"), 8192, 8000);
    reader.root.AddFolder(N("c")).AddFile(N("g.bin"), 4096, 4000);
    return ReportJson(Scan(reader));
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ReportSnapshot, ADamagedReportIsRefusedWithItsReason) {
    const std::string sound = SoundReport();
    ASSERT_TRUE(report::ReadReportSnapshot(sound));
    const std::string b_parent = "\"name\": \"b\", \"parent\": ";
    const std::size_t at = sound.find(b_parent) + b_parent.size();
    const std::string b_link = sound.substr(at, sound.find(',', at) - at);
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {Replaced(sound, b_parent + b_link, b_parent + "9"), "parent that does not come before"},
        {Replaced(sound, b_parent + b_link, "\"name\": \"b\""), "parent that does not come before"},
        {Replaced(sound, "\"name\": \"c\"", "\"name\": \"a\""), "name of a sibling"},
        {Replaced(sound, "\"name\": \"b\"", "\"name\": \"" + std::string(100000, '/') + "\""),
         "not a name"},
        {Replaced(sound, "\"files\": 2", "\"files\": -2"), "totals: a number that is not a count"},
        {Replaced(sound, "\"files\": 2", "\"files\": 18446744073709551616"), "not a count"},
        {Replaced(sound, "\"files\": 2", "\"files\": 2.5"), "not a count"},
        {Replaced(sound, "\"files\": 2", "\"files\": \"2\""), "a number was expected"},
        {Replaced(sound, "Z\",", "Z\\u001b]0;owned\\u0007\","), "started_at: not a time"},
        {Replaced(sound, "\"name\": \"b\"", "\"name\": \"b\xC0\xAF\""), "not valid UTF-8"},
        {Replaced(sound, "orvane-analysis-report", "other"), "not an analysis report"},
        {sound.substr(0, sound.size() / 2), "cut"},
        {sound + "{}", "more after the end"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(report::ReadReportSnapshot(c.text, false, &why)) << c.reason;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
    // Fields of no interest are skipped at any depth, without recursion.
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    EXPECT_TRUE(report::ReadReportSnapshot(
        Replaced(sound, "\"threads\"", "\"x\": " + deep + ", \"threads\"")));
}

// Version 3 listed a kept folder's files as objects; such reports stay in
// the reports folder and are compared with, so they read as this version's.
TEST(ReportSnapshot, AReportOfTheObjectFileFormReadsAsThisVersionsDoes) {
    const std::string now = SoundReport();
    std::string former = Replaced(now, "\"version\": 4", "\"version\": 3");
    former = Replaced(former, "[\"f.bin\", 8192, 8000]",
                      "{\"name\": \"f.bin\", \"allocated_bytes\": 8192, \"apparent_bytes\": 8000}");
    former = Replaced(former, "[\"g.bin\", 4096, 4000]",
                      "{\"name\": \"g.bin\", \"allocated_bytes\": 4096, \"apparent_bytes\": 4000}");
    std::string why;
    const auto read = report::ReadReportSnapshot(former, false, &why);
    ASSERT_TRUE(read) << why;
    const auto expected = report::ReadReportSnapshot(now);
    ASSERT_TRUE(expected);
    ASSERT_EQ(read->tree.folders.size(), expected->tree.folders.size());
    for (std::size_t i = 0; i < read->tree.folders.size(); ++i) {
        EXPECT_EQ(read->tree.folders[i].name, expected->tree.folders[i].name);
        EXPECT_EQ(read->tree.folders[i].subtree.allocated_bytes,
                  expected->tree.folders[i].subtree.allocated_bytes);
    }
    ASSERT_EQ(read->largest_files.size(), 2u);
    EXPECT_EQ(read->largest_files[0].path, expected->largest_files[0].path);
    FakeReader grown;
    grown.root.AddFolder(N("a")).AddFolder(N("b")).AddFile(N("f.bin"), 16384, 16000);
    grown.root.AddFolder(N("c")).AddFile(N("g.bin"), 4096, 4000);
    const ScanResult after = Scan(grown);
    const ReportChanges from_former = report::ComputeChanges(*read, after, "");
    const ReportChanges from_now = report::ComputeChanges(*expected, after, "");
    ASSERT_FALSE(from_now.largest_changes.empty());
    ASSERT_EQ(from_former.largest_changes.size(), from_now.largest_changes.size());
    for (std::size_t i = 0; i < from_now.largest_changes.size(); ++i) {
        EXPECT_EQ(from_former.largest_changes[i].path, from_now.largest_changes[i].path);
        EXPECT_EQ(from_former.largest_changes[i].allocated_before,
                  from_now.largest_changes[i].allocated_before);
    }
}

TEST(ReportSnapshot, TextCopiedFromAnEarlierReportStaysValidWhereverItGoes) {
    ReportChanges changes;
    changes.previous.started_at = "2026-12-07T20:22:34Z";
    changes.previous.report = "x\xFF\" onclick=\"alert(1).json";
    ScanResult now;
    now.root = N("/root");
    const std::string json = ReportJson(now, WithChanges(changes));
    EXPECT_TRUE(IsValidUtf8(json));
    EXPECT_NE(json.find("x\xEF\xBF\xBD\\\" onclick"), std::string::npos) << "U+FFFD, escaped";
    const std::string page = report::ReportHtml(now, WithChanges(changes));
    EXPECT_TRUE(IsValidUtf8(page));
    EXPECT_NE(page.find("href=\"x%FF%22%20onclick%3D%22alert%281%29.html\""), std::string::npos)
        << "the link is percent-encoded";
    // One that could not be read is named, with why, not taken for none.
    report::HtmlOptions options;
    options.looked_for_previous = true;
    options.unreadable_previous = "<b>.json";
    options.unreadable_reason = "tree: folder 2 names a parent that does not come before it";
    const std::string unread = report::ReportHtml(now, {}, options);
    EXPECT_NE(unread.find("the earlier report &lt;b&gt;.json could not be read (tree: folder 2"),
              std::string::npos);
    EXPECT_EQ(unread.find("first report"), std::string::npos);
}

}  // namespace
}  // namespace orvane::engine
