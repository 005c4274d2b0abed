// Builds a FileTable from records handed over in any order, then settles it
// (file_table.h says what settling decides).
//
// While the records come in, each name also keeps its folder's record and
// sequence number (12 bytes and 2 beside it); settling attaches the names,
// groups them by folder in place and then rewrites them in the same memory
// as the table's 8-byte names, so the names are never held twice.
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

    // Room for about `count` names, so that the list rarely has to grow.
    void ReserveNames(std::size_t count);
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

    // Null when `cancel` was set before it was done (checked between steps
    // and through each long one).
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
    // A name as read, before its folder is known to be right.
    struct PendingName {
        std::uint32_t record = 0;
        std::uint32_t parent = 0;
        std::uint32_t text = 0;
    };

    bool Collect(std::uint32_t number, std::uint32_t owner,
                 const std::vector<Attribute>& attributes, Contribution& part);
    bool CollectName(const Attribute& attribute, std::uint32_t owner);
    bool CollectAttribute(std::uint32_t number, const Attribute& attribute, Contribution& part);
    void KeepVolumeBitmap(const Attribute& attribute);
    void Apply(std::uint32_t number, const Contribution& part);
    void SetSizes(std::uint32_t number, std::uint64_t allocated, std::uint64_t size);
    void AddExtras(std::uint32_t number, const RecordExtras& extras);

    void JoinExtensions();
    void MergeAside();
    void AttachNames();
    bool Detached(const PendingName& name, std::uint16_t parent_sequence);
    class FolderSlots;
    void GroupNames();
    void NarrowNames(const std::vector<std::uint32_t>& folder_records);
    void MarkMetafiles();
    void DropMetafileNames();
    void MarkReachable();
    void CountNames();
    void SumLedger();
    void Mark(std::uint32_t from, RecordFlag flag, bool skip_metafiles);
    // True once a cancel is seen; looked at every 65,536th step `i`.
    bool CancelledAt(std::size_t i);

    std::unique_ptr<FileTable> table_;
    std::vector<Attribute> attributes_;  // reused per record
    NativeString text_;                  // reused per name
    PodArray<PendingName> pending_;
    PodArray<std::uint16_t> parent_sequences_;  // beside pending_
    std::vector<Extension> extensions_;
    std::vector<Extent> volume_bitmap_;
    const std::atomic<bool>* cancel_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace orvane::engine::ntfs
