// The HTML report in a real browser (headless Chromium): it loads without a
// console message, names of any kind show as text and never run, every
// rectangle the layout labels is there, and the totals are the JSON's.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "cli/text_report.h"
#include "orvane/format.h"
#include "report/report_snapshot.h"
#include "report/treemap.h"
#include "report_sink.h"
#include "temp_tree.h"

namespace orvane::engine {
namespace {

using testing::CommandOutput;
using testing::ShellQuote;
using testing::TempTree;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        count++;
    return count;
}

struct Rendered {
    std::string dom;
    std::string console;  // the browser's console lines
};

// Chromium with a fresh profile and nothing that reaches out; `extra` adds
// e.g. a screenshot.
Rendered Render(const TempTree& scratch, const std::string& html, const std::string& extra = "") {
    const std::string log = scratch.Path("chromium.log");
    const std::string command =
        "chromium --headless=new --no-sandbox --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync --no-first-run --user-data-dir=" +
        ShellQuote(scratch.Path("profile")) + " --enable-logging=stderr --v=0 " + extra +
        " --dump-dom " + ShellQuote("file://" + html) + " 2>" + ShellQuote(log);
    Rendered out;
    out.dom = CommandOutput(command);
    std::istringstream lines(ReadFile(log));
    for (std::string line; std::getline(lines, line);) {
        if (line.find("CONSOLE") != std::string::npos) out.console += line + "\n";
    }
    return out;
}

struct Scanned {
    std::string json;
    std::string html_path;
    std::string dom;
};

// Scans `root` into a report beside it and renders its page.
Scanned ScanAndRender(const TempTree& tree, const std::string& root, const std::string& name) {
    const std::string json = tree.Path(name + ".json"), html = tree.Path(name + ".html");
    int exit_code = -1;
    CommandOutput(ShellQuote(ORVANE_SCAN_EXE) + " --json " + ShellQuote(json) + " --html " +
                      ShellQuote(html) + " " + ShellQuote(root) + " 2>&1",
                  &exit_code);
    EXPECT_EQ(exit_code, 0);
    Scanned out{ReadFile(json), html, ""};
    testing::KeepForSchemaCheck(out.json, "browser-" + name);
    std::string shot;
    if (const char* dir = std::getenv("ORVANE_SCREENSHOTS"))
        shot = "--window-size=1100,1500 --screenshot=" +
               ShellQuote(std::string(dir) + "/report-" + name + ".png");
    Rendered page = Render(tree, html);
    EXPECT_EQ(page.console, "") << "the page logged to the console";
    if (!shot.empty()) Render(tree, html, shot);
    out.dom = std::move(page.dom);
    return out;
}

void ExpectTotalsAndLabelsOfTheJson(const Scanned& scanned) {
    const auto snapshot = report::ReadReportSnapshot(scanned.json);
    ASSERT_TRUE(snapshot);
    EXPECT_NE(
        scanned.dom.find("id=\"total-allocated\" title=\"" +
                         orvane::CommaGroupedDigits(snapshot->totals.allocated_bytes) + " bytes\""),
        std::string::npos);
    EXPECT_NE(scanned.dom.find("id=\"total-files\">" +
                               orvane::CommaGroupedDigits(snapshot->totals.files) + "<"),
              std::string::npos);
    std::size_t labelled = 0;
    for (const auto& cell : report::LayoutTreemap(snapshot->tree)) labelled += cell.labelled;
    EXPECT_GT(labelled, 3u);
    EXPECT_EQ(Count(scanned.dom, "<g class=\"cell l\">"), labelled);
}

TEST(HtmlReportInBrowser, AGeneratedTreeShowsItsFoldersLabelledAndTheJsonsTotals) {
    TempTree tree;
    tree.Folder("root");
    for (int i = 1; i <= 6; ++i) {
        tree.Folder("root/Project " + std::to_string(i));
        for (int k = 1; k <= 3; ++k) {
            const std::string folder =
                "root/Project " + std::to_string(i) + "/Part " + std::to_string(k);
            tree.Folder(folder);
            tree.File(folder + "/data.bin", static_cast<std::size_t>(i * k) * 30000);
        }
    }
    ExpectTotalsAndLabelsOfTheJson(ScanAndRender(tree, tree.Path("root"), "generated"));
}

TEST(HtmlReportInBrowser, HostileNamesAreShownAsTextAndNeverRun) {
    TempTree tree;
    const std::vector<std::string> names = {"quote\"'s",
                                            "<script>document.title='owned'",
                                            "<img src=x onerror=\"document.title='owned'\">",
                                            "a&amp;b",
                                            "<!--<script>",
                                            "bad-\xFF\xFE",
                                            std::string(255, 'n')};
    tree.Folder("root");
    for (std::size_t i = 0; i < names.size(); ++i) {
        tree.Folder("root/" + names[i]);
        tree.File("root/" + names[i] + "/" + names[i], (i + 1) * 60000);
    }
    const Scanned scanned = ScanAndRender(tree, tree.Path("root"), "hostile");
    ExpectTotalsAndLabelsOfTheJson(scanned);
    EXPECT_EQ(scanned.dom.find("owned</title>"), std::string::npos);
    EXPECT_EQ(Count(scanned.dom, "<script"), 2u)
        << "a name became an element, or the page's data block broke open";
    EXPECT_EQ(scanned.dom.find("<img"), std::string::npos) << "a name became an element";
    EXPECT_NE(scanned.dom.find("&lt;script&gt;document.title='owned'"), std::string::npos);
    EXPECT_NE(scanned.dom.find("a&amp;amp;b"), std::string::npos);
    EXPECT_NE(scanned.dom.find("bad-\xEF\xBF\xBD\xEF\xBF\xBD"), std::string::npos)
        << "U+FFFD for bytes that are not text";
    EXPECT_NE(scanned.dom.find("/" + names.back() + "/" + names.back()), std::string::npos)
        << "long names in full";
    EXPECT_NE(scanned.dom.find("quote\"'s"), std::string::npos);
}

// A drive whose folder Data/Projects/2026/Reports holds a thousandth of it,
// opened by clicking down the map (puppeteer-core drives Chromium); the same
// run goes back up, finds a file by name and reads the page with script off.
TEST(HtmlReportInBrowser, ClickingDownFourLevelsReachesAThousandthOfTheDriveAndItsFiles) {
    TempTree tree;
    for (const char* folder :
         {"drive", "drive/Big", "drive/Data", "drive/Data/Other", "drive/Data/Projects",
          "drive/Data/Projects/Old", "drive/Data/Projects/2026", "drive/Data/Projects/2026/Media",
          "drive/Data/Projects/2026/Reports"})
        tree.Folder(folder);
    tree.File("drive/Big/blob.bin", 16000000);
    tree.File("drive/Data/Other/other.bin", 2000000);
    tree.File("drive/Data/Projects/Old/old.tar", 1000000);
    tree.File("drive/Data/Projects/2026/Media/clip.mp4", 1000000);
    for (int i = 1; i <= 5; ++i)
        tree.File("drive/Data/Projects/2026/Reports/report-" + std::to_string(i) + ".txt", 4000);
    const Scanned scanned = ScanAndRender(tree, tree.Path("drive"), "explore");
    const auto snapshot = report::ReadReportSnapshot(scanned.json);
    ASSERT_TRUE(snapshot);
    const auto reports = std::find_if(snapshot->tree.folders.begin(), snapshot->tree.folders.end(),
                                      [](const TreeFolder& f) { return f.name == "Reports"; });
    ASSERT_NE(reports, snapshot->tree.folders.end());
    const double share = static_cast<double>(reports->subtree.allocated_bytes) /
                         static_cast<double>(snapshot->totals.allocated_bytes);
    EXPECT_GT(share, 0.0005);
    EXPECT_LT(share, 0.002);
    int exit_code = -1;
    const std::string output =
        CommandOutput("ORVANE_PUPPETEER=" + ShellQuote(ORVANE_PUPPETEER) + " node " +
                          ShellQuote(ORVANE_EXPLORE_SCRIPT) + " " + ShellQuote(scanned.html_path) +
                          " Data Projects 2026 Reports report-3.txt 2>&1",
                      &exit_code);
    EXPECT_EQ(exit_code, 0) << output << "(./orvane test installs puppeteer-core)";
}

}  // namespace
}  // namespace orvane::engine
