#include "core/scanner.h"

#include <new>
#include <utility>

#include "core/folder_walk.h"
#include "core/scan_source.h"

namespace orvane::engine {

// The source is destroyed before the feed it fed, and only once its threads
// are joined.
struct Scanner::Scan {
    Scan(const ScanOptions& options, ProgressBoard& board, const NativeString& root,
         std::unique_ptr<ScanSource> made)
        : feed(options, made->Separator(), board, root), source(std::move(made)) {}
    ~Scan() {
        Cancel();
        source->Join();
    }
    void Cancel() {
        feed.Cancel();
        source->Wake();
    }

    ScanFeed feed;
    std::unique_ptr<ScanSource> source;
};

Scanner::Scanner(DirectoryReader& reader, ScanOptions options)
    : Scanner([&reader] { return std::make_unique<FolderWalk>(reader); }, std::move(options)) {}

Scanner::Scanner(SourceMaker make_source, ScanOptions options)
    : make_source_(std::move(make_source)),
      options_(std::move(options)),
      board_(std::make_unique<ProgressBoard>()) {}

Scanner::~Scanner() { scan_.reset(); }

bool Scanner::Start(const NativeString& root) {
    std::unique_ptr<Scan> previous;
    {
        std::lock_guard lock(scan_mutex_);
        if (scan_ && !scan_->feed.Finished()) return false;
        previous = std::move(scan_);
    }
    previous.reset();
    board_->Clear();
    std::unique_ptr<Scan> scan;
    try {
        scan = std::make_unique<Scan>(options_, *board_, root, make_source_());
    } catch (const std::bad_alloc&) {
        // Not even the scan fits: it has ended before it began.
        start_out_of_memory_ = true;
        if (options_.on_finished) options_.on_finished();
        return false;
    }
    Scan* started = scan.get();
    {
        std::lock_guard lock(scan_mutex_);
        scan_ = std::move(scan);
    }
    return started->source->Begin(root, started->feed);
}

bool Scanner::Wait(std::chrono::milliseconds timeout) {
    return !scan_ || scan_->feed.Wait(timeout);
}

bool Scanner::Finished() const {
    std::lock_guard lock(scan_mutex_);
    return !scan_ || scan_->feed.Finished();
}

void Scanner::Cancel() {
    std::lock_guard lock(scan_mutex_);
    if (scan_) scan_->Cancel();
}

ScanResult Scanner::TakeResult() {
    if (!scan_) {
        ScanResult nothing;
        if (std::exchange(start_out_of_memory_, false)) nothing.status = ScanStatus::kOutOfMemory;
        return nothing;
    }
    ScanResult result = scan_->feed.TakeResult();
    scan_->source->Join();
    std::unique_ptr<Scan> finished;
    {
        std::lock_guard lock(scan_mutex_);
        finished = std::move(scan_);
    }
    return result;
}

ScanResult Scanner::Run(const NativeString& root) {
    Start(root);
    return TakeResult();
}

std::uint64_t Scanner::EntriesScanned() const {
    return board_->entries.load(std::memory_order_relaxed);
}

std::uint64_t Scanner::AllocatedBytesScanned() const {
    return board_->allocated.load(std::memory_order_relaxed);
}

ScanProgress Scanner::Progress() const { return board_->Read(); }

}  // namespace orvane::engine
