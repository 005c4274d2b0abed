// The file-table reader over any bytes: the input is a volume's beginning
// (boot sector, then whatever the boot sector says the table is). Whatever
// it holds, the reader must not crash, hang, read outside what it was given
// or ask for a read Windows would refuse; a table it accepts is then listed
// through the scanner as a scan would.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "core/scanner.h"
#include "ntfs/table_reader.h"
#include "ntfs/table_walk.h"

namespace {

using namespace orvane::engine;

// The input as a volume of unknown length (as Wine gives a drive's raw
// device), strict about alignment as a volume handle is.
class InputVolume : public ntfs::VolumeReader {
public:
    InputVolume(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Read(std::uint64_t offset, void* buffer, std::size_t length) override {
        if (offset % 512 || length % 512 || reinterpret_cast<std::uintptr_t>(buffer) % 512)
            __builtin_trap();  // a read Windows refuses
        if (offset >= size_ || length > size_ - offset) return false;
        std::memcpy(buffer, data_ + offset, length);
        return true;
    }
    std::uint64_t Size() const override { return 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputVolume volume(data, size);
    std::atomic<bool> cancel{false};
    ntfs::TableProgress progress;
    ntfs::TableReadResult read = ntfs::ReadFileTable(volume, cancel, progress);
    if (!read.table) return 0;
    ScanOptions options;
    options.threads = 1;
    Scanner scanner(ntfs::TableWalk::Maker(*read.table), options);
    scanner.Run(ORVANE_NATIVE("X:"));
    return 0;
}
