// The JSON report: always valid JSON whatever the names hold, every field
// present, and names that are not valid text recoverable from their hex.
#include <gtest/gtest.h>

#include "report/report_json.h"
#include "json_value.h"
#include "report_sink.h"

namespace orvane::engine {
namespace {

using testing::JsonReader;
using testing::JsonValue;

#define N(text) ORVANE_NATIVE(text)

#if defined(_WIN32)
// An unpaired surrogate: NTFS accepts it in a name, UTF-16 does not.
const NativeString kInvalidName = NativeString(L"bad") + wchar_t(0xD800) + L"name";
const char kInvalidNameHex[] = "006200610064d800006e0061006d0065";
#else
// Latin-1 bytes: a valid POSIX name, not valid UTF-8.
const NativeString kInvalidName = "bad\xE9\xFFname";
const char kInvalidNameHex[] = "626164e9ff6e616d65";
#endif

ScanResult SampleResult() {
    ScanResult result;
    result.root = N("/data");
    result.started_at = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
    result.threads = 2;
    result.totals = {12, 3, 40960, 12345, 1, std::chrono::milliseconds(1234)};
    result.largest_folders.push_back({N("/data"), 40960, 12345, 12, 3});
    result.largest_folders.push_back({N("/data/") + kInvalidName, 8192, 100, 2, 1});
    result.largest_files.push_back({N("/data/quote\"back\\slash\nnew\x01line"), 4096, 10});
    result.largest_files.push_back({N("/data/caf\u00e9 \u65e5\u672c \U0001F600"), 4096, 9});
    result.largest_types.push_back({N("txt"), 10, 4096, 20});
    result.largest_types.push_back({N(""), 2, 0, 0});
    result.unreadable.push_back({N("/data/locked"), OpenError::kAccessDenied});
    result.tree.limit = 5;
    TreeFolder& root = result.tree.folders.emplace_back();
    root.name = N("/data");
    root.subtree = {40960, 12345, 12, 3};
    root.other = {32768, 12245, 10, 1};
    root.largest_files = {{N("quote\"back\\slash\nnew\x01line"), 4096, 10, {}, 0},
                          {kInvalidName, 4096, 9, {}, 0},
                          {N("caf\u00e9.txt"), 4096, 8, {}, 0}};
    root.other_files = {4096, 100, 7};
    TreeFolder& child = result.tree.folders.emplace_back();
    child.name = kInvalidName;
    child.parent = 0;
    child.subtree = {8192, 100, 2, 1};
    child.other = {8192, 100, 2, 0};
    return result;
}

TEST(ReportJson, EveryFieldIsPresentAndTheTotalsAreExact) {
    testing::KeepForSchemaCheck(ReportJson(SampleResult()), "sample");
    JsonValue report = JsonReader::Parse(ReportJson(SampleResult()));
    EXPECT_EQ(report["format"].text, "orvane-analysis-report");
    EXPECT_EQ(report["version"].U64(), 4u);
    EXPECT_TRUE(report["tree"].Has("folders"));
    EXPECT_FALSE(report.Has("ledger")) << "a scan without a volume has no ledger";
    EXPECT_FALSE(report.Has("changes")) << "nothing to compare with";
    EXPECT_EQ(report["root"].text, "/data");
    EXPECT_EQ(report["status"].text, "completed");
    EXPECT_FALSE(report.Has("root_error"));
    EXPECT_EQ(report["started_at"].text, "2023-11-14T22:13:20Z");
    EXPECT_EQ(report["threads"].U64(), 2u);
    const JsonValue& totals = report["totals"];
    EXPECT_EQ(totals["files"].U64(), 12u);
    EXPECT_EQ(totals["folders"].U64(), 3u);
    EXPECT_EQ(totals["entries"].U64(), 15u);
    EXPECT_EQ(totals["allocated_bytes"].U64(), 40960u);
    EXPECT_EQ(totals["apparent_bytes"].U64(), 12345u);
    EXPECT_EQ(totals["unreadable_folders"].U64(), 1u);
    EXPECT_EQ(totals["duration_seconds"].number, "1.234");
    EXPECT_FALSE(totals["bytes_saturated"].boolean);

    const JsonValue& folder = report["largest_folders"][0];
    EXPECT_EQ(folder["allocated_bytes"].U64(), 40960u);
    EXPECT_EQ(folder["apparent_bytes"].U64(), 12345u);
    EXPECT_EQ(folder["files"].U64(), 12u);
    EXPECT_EQ(folder["folders"].U64(), 3u);
    EXPECT_EQ(report["largest_files"][1]["apparent_bytes"].U64(), 9u);
    EXPECT_EQ(report["largest_types"][0]["extension"].text, "txt");
    EXPECT_EQ(report["largest_types"][0]["files"].U64(), 10u);
    EXPECT_EQ(report["largest_types"][1]["extension"].text, "");
    EXPECT_EQ(report["unreadable_folders"][0]["path"].text, "/data/locked");
    EXPECT_EQ(report["unreadable_folders"][0]["reason"].text, "access_denied");
}

TEST(ReportJson, NamesAreEscapedAndInvalidOnesKeepTheirExactUnits) {
    JsonValue report = JsonReader::Parse(ReportJson(SampleResult()));
    EXPECT_EQ(report["largest_files"][0]["path"].text, "/data/quote\"back\\slash\nnew\x01line");
    EXPECT_FALSE(report["largest_files"][0].Has("path_raw"));
    EXPECT_EQ(report["largest_files"][1]["path"].text,
              "/data/caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80");

    const JsonValue& bad = report["largest_folders"][1];
#if defined(_WIN32)
    EXPECT_EQ(bad["path"].text, "/data/bad\xEF\xBF\xBDname");
#else
    EXPECT_EQ(bad["path"].text, "/data/bad\xEF\xBF\xBD\xEF\xBF\xBDname");
#endif
    // The raw field holds the whole path, so it alone gives the name back.
    EXPECT_EQ(bad["path_raw"].text, NativeHex(N("/data/")) + kInvalidNameHex);
}

// A kept folder's files are [name, allocated, apparent], and the name's hex
// fourth when it is not valid text; the folder itself keeps "name_raw".
TEST(ReportJson, TreeFilesAreCompactAndKeepEscapesAndExactUnits) {
    JsonValue report = JsonReader::Parse(ReportJson(SampleResult()));
    const JsonValue& folders = report["tree"]["folders"];
    const JsonValue& files = folders[0]["largest_files"];
    ASSERT_EQ(files.items.size(), 3u);
    EXPECT_EQ(files[0][0].text, "quote\"back\\slash\nnew\x01line");
    EXPECT_EQ(files[0].items.size(), 3u);
    EXPECT_EQ(files[0][1].U64(), 4096u);
    EXPECT_EQ(files[0][2].U64(), 10u);
    ASSERT_EQ(files[1].items.size(), 4u);
    EXPECT_EQ(files[1][2].U64(), 9u);
    EXPECT_EQ(files[1][3].text, kInvalidNameHex);
    EXPECT_EQ(files[2][0].text, "caf\xC3\xA9.txt");
    EXPECT_EQ(folders[0]["other_files"]["files"].U64(), 7u);
    EXPECT_EQ(folders[1]["name_raw"].text, kInvalidNameHex);
    EXPECT_EQ(folders[1]["parent"].U64(), 0u);
    EXPECT_EQ(folders[1]["other"]["folders"].U64(), 0u);
}

TEST(ReportJson, StatusAndRootErrorOfScansThatDidNotComplete) {
    ScanResult cancelled;
    cancelled.status = ScanStatus::kCancelled;
    EXPECT_EQ(JsonReader::Parse(ReportJson(cancelled))["status"].text, "cancelled");

    ScanResult unreadable;
    unreadable.root = kInvalidName;
    unreadable.status = ScanStatus::kRootUnreadable;
    unreadable.root_error = OpenError::kNotFound;
    JsonValue report = JsonReader::Parse(ReportJson(unreadable));
    EXPECT_EQ(report["status"].text, "root_unreadable");
    EXPECT_EQ(report["root_error"].text, "not_found");
    EXPECT_EQ(report["root_raw"].text, kInvalidNameHex);
    EXPECT_EQ(report["largest_folders"].items.size(), 0u);
    EXPECT_EQ(report["totals"]["folders"].U64(), 0u);

    ScanResult saturated = SampleResult();
    saturated.totals.apparent_bytes = ~std::uint64_t{0};
    saturated.totals.bytes_saturated = true;
    JsonValue at_the_limit = JsonReader::Parse(ReportJson(saturated));
    EXPECT_EQ(at_the_limit["totals"]["apparent_bytes"].U64(), ~std::uint64_t{0});
    EXPECT_TRUE(at_the_limit["totals"]["bytes_saturated"].boolean);
}

TEST(ReportJson, TextValidityFollowsTheNativeEncoding) {
    EXPECT_TRUE(IsValidNativeText(N("plain")));
    EXPECT_TRUE(IsValidNativeText(N("\u00e9\U0001F600")));
    EXPECT_FALSE(IsValidNativeText(kInvalidName));
#if defined(_WIN32)
    EXPECT_FALSE(IsValidNativeText(NativeString(1, wchar_t(0xDC00))));  // low surrogate first
    EXPECT_FALSE(IsValidNativeText(NativeString(1, wchar_t(0xD83D))));  // high surrogate at the end
#else
    EXPECT_FALSE(IsValidNativeText("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(IsValidNativeText("\xED\xA0\x80"));      // an encoded surrogate
    EXPECT_FALSE(IsValidNativeText("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(IsValidNativeText("\xE6\x97"));          // cut short
    EXPECT_EQ(ToUtf8Lossy("a\xE6\x97"), "a\xEF\xBF\xBD\xEF\xBF\xBD");
#endif
}

}  // namespace
}  // namespace orvane::engine
