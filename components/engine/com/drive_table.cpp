#include "drive_table.h"

#include "message_pump.h"
#include "orvane/com_guard.h"

namespace orvane::engine::com {

DriveTable::DriveTable() {
    if (!done_.try_create_manual_reset()) orvane::com::ThrowLastError();
}

DriveTable::~DriveTable() {
    if (source_) source_->Cancel();
    Join();
}

void DriveTable::Join() {
    if (thread_.joinable()) thread_.join();
}

bool DriveTable::Read(const std::wstring& drive_root, HANDLE cancel) {
    if (source_) source_->Cancel();  // a cancelled read of the last drive
    Join();
    walks_ = nullptr;
    facts_ = {};
    source_ = std::make_unique<ntfs::FileTableSource>();
    done_.ResetEvent();
    reading_ = true;
    thread_ = std::thread([this, root = drive_root.substr(0, 2), done = done_.get()] {
        source_->Read(root);
        ::SetEvent(done);
    });
    const PumpOutcome outcome = PumpMessagesUntil(done_.get(), cancel);
    reading_ = false;
    if (outcome != PumpOutcome::kDone) {
        source_->Cancel();
        return false;
    }
    Join();
    walks_ = source_->Walks();
    facts_ = source_->Facts();
    return true;
}

std::uint64_t DriveTable::records_read() const {
    return source_ ? source_->progress().records_read.load(std::memory_order_relaxed) : 0;
}

}  // namespace orvane::engine::com
