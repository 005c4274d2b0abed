// The one report writer on the platform it is built for: a reader sees the
// old file or the whole new one, an abandoned or failed write leaves nothing
// behind, and a failure says in words which step failed.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "orvane/atomic_file.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("orvane-common-" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    file_path File(const char* name) const { return (path_ / name).native(); }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {}));
    }

private:
    fs::path path_;
};

std::string Contents(const file_path& path) {
    std::ifstream file{fs::path(path), std::ios::binary};
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(AtomicFile, ReplacesWholeDropsOnRequestAndLeavesNothingBehindOnFailure) {
    const ScratchFolder folder;
    const file_path report = folder.File("report.json");
    ASSERT_TRUE(WriteFileAtomically(report, "{\"first\": 1}").ok());
    ASSERT_TRUE(WriteFileAtomically(report, "{\"second\": 2}").ok());
    EXPECT_EQ(Contents(report), "{\"second\": 2}");

    const std::atomic<bool> abandon{true};
    const write_result dropped = WriteFileAtomically(report, "{}", &abandon);
    EXPECT_TRUE(dropped.ok());
    EXPECT_TRUE(dropped.abandoned);
    EXPECT_EQ(Contents(report), "{\"second\": 2}") << "an abandoned write keeps the old file";

    const write_result failed =
        WriteFileAtomically((fs::path(folder.File("no such folder")) / "r.json").native(), "{}");
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.error, 0);
    // The step and the system's words, never a bare number.
    EXPECT_EQ(failed.message().rfind("creating the temporary file: ", 0), 0u) << failed.message();
    EXPECT_EQ(failed.message().find("error "), std::string::npos) << failed.message();
#if defined(_WIN32)
    EXPECT_EQ(failed.hresult(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
#endif
    EXPECT_EQ(folder.Entries(), 1u) << "a temporary file was left behind";
}

// Nothing planted beside the report can be followed: the temporary file's
// name cannot be guessed, and it is only ever created new.
TEST(AtomicFile, TheTemporaryFileIsNewUnderAnUnguessableName) {
    const ScratchFolder folder;
    const file_path report = folder.File("report.json");
    const file_path first = TemporaryNameBeside(report);
    EXPECT_EQ(first.rfind(report, 0), 0u);
    EXPECT_NE(first, TemporaryNameBeside(report));

    const file_path victim = folder.File("victim");
    { std::ofstream(fs::path(victim)) << "precious"; }
    const file_path planted = folder.File("planted");
    std::error_code no_links;
    fs::create_symlink(victim, planted, no_links);
    if (!no_links) {
        EXPECT_FALSE(CreateNewFile(planted)) << "a link is never followed";
    }
    EXPECT_FALSE(CreateNewFile(victim)) << "an existing file is never reopened";
    EXPECT_EQ(Contents(victim), "precious");
    EXPECT_TRUE(CreateNewFile(folder.File("fresh")));
}

}  // namespace
}  // namespace orvane
