// Builds a FileTable from records handed over in any order, then settles it
// (file_table.h says what settling decides).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "ntfs/file_record.h"
#include "ntfs/file_table.h"
#include "ntfs/run_list.h"

namespace orvane::engine::ntfs {

class TableBuilder {
public:
    // Throws std::bad_alloc when the table does not fit.
    TableBuilder(const VolumeGeometry& geometry, std::uint32_t record_count);

    // Record `number` as read, fixups not yet applied (they are applied in
    // place); `record_size` bytes.
    void AddRecord(std::uint32_t number, std::uint8_t* bytes);
    // Records the bitmap says are in use that could not be read.
    void AddUnreadable(std::uint64_t count) { table_->facts_.damaged_records += count; }

    // Where the volume's cluster bitmap lies, once record 6 was added;
    // empty when it could not be told.
    const std::vector<Extent>& VolumeBitmap() const { return volume_bitmap_; }
    void SetUsedClusters(std::uint64_t clusters) {
        table_->facts_.used_clusters = clusters;
        table_->facts_.used_known = true;
    }

    // Null when `cancel` was set before it was done (checked between steps).
    std::unique_ptr<FileTable> Settle(const std::atomic<bool>& cancel);

private:
    // What one record says of the file it belongs to.
    struct Contribution {
        bool has_data = false;
        std::uint64_t data_allocated = 0;
        std::uint64_t data_size = 0;
        RecordExtras extras;
        bool link_reparse = false;
    };
    // An extension record's part, joined once its base is known to be right.
    struct Extension {
        std::uint32_t base = 0;
        std::uint16_t base_sequence = 0;
        std::size_t names_begin = 0;
        std::size_t names_end = 0;
        Contribution part;
    };

    bool Collect(std::uint32_t number, std::uint32_t owner,
                 const std::vector<Attribute>& attributes, Contribution& part);
    bool CollectName(const Attribute& attribute, std::uint32_t owner);
    bool CollectAttribute(std::uint32_t number, const Attribute& attribute, Contribution& part);
    void KeepVolumeBitmap(const Attribute& attribute);
    void Apply(std::uint32_t number, const Contribution& part);
    void AddExtras(TableRecord& record, const RecordExtras& extras);

    void JoinExtensions();
    void AttachNames();
    void MarkMetafiles();
    void MarkReachable();
    void CountNames();
    void SumLedger();
    void Mark(std::uint32_t from, RecordFlag flag, bool skip_metafiles);

    std::unique_ptr<FileTable> table_;
    std::vector<Attribute> attributes_;  // reused per record
    std::vector<Extension> extensions_;
    std::vector<Extent> volume_bitmap_;
};

}  // namespace orvane::engine::ntfs
