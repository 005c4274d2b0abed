#include "cli/table_phase.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/stop_requests.h"
#include "core/folder_walk.h"

namespace orvane::engine::cli {
namespace {

#if defined(_WIN32)
constexpr bool kDrives = true;
#else
constexpr bool kDrives = false;
#endif

void ShowTableProgress(const ntfs::TableProgress& progress) {
    const auto read = progress.records_read.load(std::memory_order_relaxed);
    const auto total = progress.records_total.load(std::memory_order_relaxed);
    std::fprintf(stderr, "\rreading the file table: %llu of %llu records   ",
                 static_cast<unsigned long long>(read), static_cast<unsigned long long>(total));
    std::fflush(stderr);
}

// Reads on a thread of its own, so a stop request is seen at once.
bool ReadTable(ntfs::FileTableSource& table, const NativeString& path, bool show) {
    bool read = false;
    std::atomic<bool> finished{false};
    std::thread reader([&] {
        read = table.Read(path);
        finished.store(true);
    });
    for (int tick = 1; !finished.load(); ++tick) {
        if (StopRequested().load()) table.Cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (show && tick % 10 == 0) ShowTableProgress(table.progress());
    }
    reader.join();
    if (show) std::fprintf(stderr, "\r%60s\r", "");
    return read;
}

}  // namespace

ScanSource ChooseScanSource(const NativeString& path, MethodChoice choice, bool show) {
    ScanSource source;
    const bool volume = ntfs::IsVolumePath(path);
    if (choice == MethodChoice::kFileTable && !volume) {
        source.error = kDrives ? "not a drive (a file table is read from C: or C:\\)"
                               : "not a file or block device holding an NTFS volume";
        return source;
    }
    if (choice != MethodChoice::kWalk && volume) {
        source.table = std::make_unique<ntfs::FileTableSource>();
        if (ReadTable(*source.table, path, show)) {
            source.walks = source.table->Walks();
            source.facts = source.table->Facts();
            return source;
        }
        if (source.table->cancelled()) return source;
        if (choice == MethodChoice::kFileTable) {
            source.error = "cannot read the file table: " + source.table->problem();
            return source;
        }
        source.facts.method.table_unavailable = source.table->problem();
    }
    source.reader = CreatePlatformDirectoryReader();
    source.walks = [reader = source.reader.get()] { return std::make_unique<FolderWalk>(*reader); };
    return source;
}

}  // namespace orvane::engine::cli
