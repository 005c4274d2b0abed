#include "ntfs/table_builder.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "core/folder_node.h"
#include "ntfs/name_text.h"

namespace orvane::engine::ntfs {
namespace {

constexpr std::uint32_t kVolumeBitmapRecord = 6;
constexpr std::uint32_t kBadClustersRecord = 8;
constexpr std::uint8_t kDosNamespace = 2;
constexpr std::uint32_t kNameSurrogate = 0x2000'0000;
constexpr std::uint32_t kNoFolder = std::numeric_limits<std::uint32_t>::max();

// "$Bad", the stream of $BadClus that spans the volume without holding it.
bool IsBadClusterStream(const Attribute& attribute) {
    static constexpr std::uint8_t kBad[] = {'$', 0, 'B', 0, 'a', 0, 'd', 0};
    return attribute.name.size() == sizeof kBad &&
           std::equal(kBad, kBad + sizeof kBad, attribute.name.data());
}

std::uint64_t WholeClusters(std::uint64_t size, std::uint64_t cluster) {
    return cluster == 0 ? size : (size + cluster - 1) / cluster * cluster;
}

void AddExtrasTo(RecordExtras& to, const RecordExtras& extras) {
    AddSaturating(to.streams, extras.streams);
    AddSaturating(to.indexes, extras.indexes);
    AddSaturating(to.other, extras.other);
}

}  // namespace

TableRecord FileTable::record(std::uint32_t number) const {
    const PackedRecord& packed = records_[number];
    TableRecord record;
    record.sequence = packed.sequence;
    record.flags = packed.flags & PackedRecord::kPublicFlags;
    record.names = packed.names;
    if (packed.Has(PackedRecord::kSizesAside)) {
        if (const RecordAside* aside = Aside(number)) {
            record.data_allocated = aside->data_allocated;
            record.data_size = aside->data_size;
        }
    } else {
        record.data_size = packed.size;
        if (packed.Has(PackedRecord::kWholeClusters))
            record.data_allocated = WholeClusters(packed.size, geometry_.cluster_size);
    }
    return record;
}

const RecordAside* FileTable::Aside(std::uint32_t number) const {
    auto found = std::lower_bound(
        aside_.begin(), aside_.end(), number,
        [](const RecordAside& aside, std::uint32_t wanted) { return aside.record < wanted; });
    return found != aside_.end() && found->record == number ? &*found : nullptr;
}

RecordExtras FileTable::Extras(std::uint32_t number) const {
    if (!records_[number].Has(PackedRecord::kExtrasAside)) return {};
    const RecordAside* aside = Aside(number);
    return aside ? aside->extras : RecordExtras{};
}

std::span<const TableName> FileTable::NamesIn(std::uint32_t folder) const {
    if (folders_.size() < 2) return {};
    auto found = std::lower_bound(
        folders_.begin(), folders_.end() - 1, folder,
        [](const FolderNames& names, std::uint32_t wanted) { return names.folder < wanted; });
    if (found == folders_.end() - 1 || found->folder != folder) return {};
    return {names_.data() + found->begin, names_.data() + (found + 1)->begin};
}

TableBuilder::TableBuilder(const VolumeGeometry& geometry, std::uint32_t record_count)
    : table_(std::make_unique<FileTable>()) {
    table_->geometry_ = geometry;
    table_->records_.resize(record_count);
}

void TableBuilder::ReserveNames(std::size_t count) {
    pending_.Reserve(count);
    parent_sequences_.Reserve(count);
}

void TableBuilder::AddRecord(std::uint32_t number, std::uint8_t* bytes) {
    const std::uint32_t size = table_->geometry_.record_size;
    RecordHeader header;
    if (!ApplyFixups(bytes, size, kFileMagic) ||
        !ParseRecord(ByteView(bytes, size), header, attributes_)) {
        table_->facts_.damaged_records++;
        return;
    }
    if (!header.in_use) return;  // freed after the bitmap was written
    const bool extension = header.base.record != 0;
    if (extension && header.base.record >= table_->records_.size()) {
        table_->facts_.damaged_records++;
        return;
    }
    const auto owner = extension ? static_cast<std::uint32_t>(header.base.record) : number;
    const std::size_t names_before = pending_.size();
    const std::uint32_t text_before = table_->arena_.End();
    Contribution part;
    if (!Collect(number, owner, attributes_, part)) {
        pending_.Truncate(names_before);
        parent_sequences_.Truncate(names_before);
        table_->arena_.Truncate(text_before);
        table_->facts_.damaged_records++;
        return;
    }
    if (extension) {
        extensions_.push_back({owner, header.base.sequence, names_before, pending_.size(), part});
        return;
    }
    PackedRecord& record = table_->records_[number];
    record.sequence = header.sequence;
    record.flags |= kInUse | (header.directory ? kDirectory : 0);
    table_->facts_.records_in_use++;
    Apply(number, part);
}

bool TableBuilder::Collect(std::uint32_t number, std::uint32_t owner,
                           const std::vector<Attribute>& attributes, Contribution& part) {
    for (const Attribute& attribute : attributes) {
        if (attribute.type == kFileName) {
            if (!CollectName(attribute, owner)) return false;
        } else if (!CollectAttribute(number, attribute, part)) {
            return false;
        }
    }
    return true;
}

bool TableBuilder::CollectName(const Attribute& attribute, std::uint32_t owner) {
    const ByteView value = attribute.value;
    if (!attribute.resident || !value.Holds(0, 0x42)) return false;
    const std::uint8_t length = value.U8(0x40);
    if (length == 0 || !value.Holds(0x42, 2u * length)) return false;
    if (value.U8(0x41) == kDosNamespace) return true;  // a short alias of a long name
    const FileReference parent = SplitReference(value.U64(0));
    if (parent.record >= table_->records_.size()) return true;  // attached to nothing: orphan
    if (pending_.size() >= kNoFolder) throw std::bad_alloc();
    text_.clear();
    AppendNativeName(value.Sub(0x42, 2u * length), text_);
    const std::uint32_t text = table_->arena_.Append(text_);
    pending_.PushBack({owner, static_cast<std::uint32_t>(parent.record), text});
    parent_sequences_.PushBack(parent.sequence);
    return true;
}

bool TableBuilder::CollectAttribute(std::uint32_t number, const Attribute& attribute,
                                    Contribution& part) {
    const std::uint64_t volume = table_->geometry_.volume_bytes();
    if (!attribute.resident && attribute.allocated_size > volume) return false;
    if (attribute.type == kReparsePoint) {
        const std::uint32_t tag = attribute.resident ? attribute.value.U32(0) : kNameSurrogate;
        part.link_reparse = tag == 0 || (tag & kNameSurrogate) != 0;
    }
    // The first piece of a non-resident attribute states the whole one's sizes.
    const bool first_piece = attribute.resident || attribute.lowest_vcn == 0;
    if (!first_piece) return true;
    const std::uint64_t allocated = attribute.resident ? 0 : attribute.allocated_size;
    if (attribute.type == kData && !attribute.named()) {
        part.has_data = true;
        part.data_allocated = allocated;
        part.data_size = attribute.data_size;
        if (number == kVolumeBitmapRecord) KeepVolumeBitmap(attribute);
    } else if (attribute.type == kData) {
        if (number != kBadClustersRecord || !IsBadClusterStream(attribute))
            AddSaturating(part.extras.streams, allocated);
    } else if (attribute.type == kIndexAllocation || attribute.type == kBitmap) {
        AddSaturating(part.extras.indexes, allocated);
    } else {
        AddSaturating(part.extras.other, allocated);
    }
    return true;
}

void TableBuilder::KeepVolumeBitmap(const Attribute& attribute) {
    volume_bitmap_.clear();
    if (attribute.resident) return;
    if (!DecodeRunList(attribute.pairs, 0, attribute.highest_vcn, table_->geometry_.total_clusters,
                       volume_bitmap_))
        volume_bitmap_.clear();
}

void TableBuilder::Apply(std::uint32_t number, const Contribution& part) {
    if (part.has_data) SetSizes(number, part.data_allocated, part.data_size);
    if (part.link_reparse) table_->records_[number].flags |= kLinkReparse;
    AddExtras(number, part.extras);
}

// In the record where they fit; aside otherwise, and aside from then on, so
// that the last sizes given are the ones kept.
void TableBuilder::SetSizes(std::uint32_t number, std::uint64_t allocated, std::uint64_t size) {
    PackedRecord& record = table_->records_[number];
    const bool whole =
        allocated != 0 && allocated == WholeClusters(size, table_->geometry_.cluster_size);
    if (!record.Has(PackedRecord::kSizesAside) && size <= kNoFolder && (allocated == 0 || whole)) {
        record.size = static_cast<std::uint32_t>(size);
        record.flags &= ~PackedRecord::kWholeClusters;
        if (whole) record.flags |= PackedRecord::kWholeClusters;
        return;
    }
    record.flags |= PackedRecord::kSizesAside;
    table_->aside_.push_back({number, true, allocated, size, {}});
}

void TableBuilder::AddExtras(std::uint32_t number, const RecordExtras& extras) {
    if (extras.streams == 0 && extras.indexes == 0 && extras.other == 0) return;
    table_->records_[number].flags |= PackedRecord::kExtrasAside;
    table_->aside_.push_back({number, false, 0, 0, extras});
}

std::unique_ptr<FileTable> TableBuilder::Settle(const std::atomic<bool>& cancel) {
    cancel_ = &cancel;
    void (TableBuilder::*const steps[])() = {
        &TableBuilder::JoinExtensions, &TableBuilder::MergeAside,    &TableBuilder::AttachNames,
        &TableBuilder::GroupNames,     &TableBuilder::MarkMetafiles, &TableBuilder::MarkReachable,
        &TableBuilder::CountNames,     &TableBuilder::SumLedger};
    for (auto step : steps) {
        if (cancelled_ || cancel.load(std::memory_order_relaxed)) return nullptr;
        (this->*step)();
    }
    if (cancelled_) return nullptr;
    return std::move(table_);
}

bool TableBuilder::CancelledAt(std::size_t i) {
    if ((i & 0xFFFF) == 0 && cancel_->load(std::memory_order_relaxed)) cancelled_ = true;
    return cancelled_;
}

// An extension whose base is not in use, or is a newer file in a reused
// record, belongs to no file: its names go, its bytes count as orphaned.
void TableBuilder::JoinExtensions() {
    for (const Extension& extension : extensions_) {
        const PackedRecord& base = table_->records_[extension.base];
        if (base.Has(kInUse) && base.sequence == extension.base_sequence) {
            Apply(extension.base, extension.part);
            continue;
        }
        for (std::size_t i = extension.names_begin; i < extension.names_end; ++i)
            pending_[i].record = 0;  // record 0 never has a name in the tree
        const RecordExtras& extras = extension.part.extras;
        ExplainedBytes& explained = table_->facts_.explained;
        for (std::uint64_t bytes :
             {extension.part.data_allocated, extras.streams, extras.indexes, extras.other})
            AddSaturating(explained.orphaned_damaged, bytes);
        table_->facts_.damaged_records++;
    }
    extensions_.clear();
    extensions_.shrink_to_fit();
}

// One entry per record, by record: the last sizes given, the extras summed.
void TableBuilder::MergeAside() {
    auto& aside = table_->aside_;
    std::stable_sort(aside.begin(), aside.end(), [](const RecordAside& a, const RecordAside& b) {
        return a.record < b.record;
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < aside.size(); ++i) {
        if (kept == 0 || aside[kept - 1].record != aside[i].record) {
            aside[kept++] = aside[i];
            continue;
        }
        RecordAside& merged = aside[kept - 1];
        if (aside[i].has_sizes) {
            merged.has_sizes = true;
            merged.data_allocated = aside[i].data_allocated;
            merged.data_size = aside[i].data_size;
        }
        AddExtrasTo(merged.extras, aside[i].extras);
    }
    aside.resize(kept);
    aside.shrink_to_fit();
}

// A name stays when its file and its folder are in use and the folder is the
// one it names (same sequence number); a folder keeps only its first name,
// so the folders form a tree whatever the records claim.
void TableBuilder::AttachNames() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (CancelledAt(i)) return;
        if (!Detached(pending_[i], parent_sequences_[i])) pending_[kept++] = pending_[i];
    }
    pending_.Truncate(kept);
    parent_sequences_ = {};
    // The count of names served as "has its name" for folders; CountNames counts afresh.
    for (PackedRecord& record : table_->records_) record.names = 0;
}

bool TableBuilder::Detached(const PendingName& name, std::uint16_t parent_sequence) {
    auto& records = table_->records_;
    PackedRecord& record = records[name.record];
    const PackedRecord& parent = records[name.parent];
    if (name.record == 0 || name.record == kRootRecord || name.record == name.parent ||
        !record.Has(kInUse) || !parent.Has(kInUse) || !parent.Has(kDirectory) ||
        parent.sequence != parent_sequence)
        return true;
    if (!record.Has(kDirectory)) return false;
    if (record.names != 0) return true;
    record.names = 1;
    return false;
}

// Each folder a dense number, in the order of their records: its rank among
// the records that are folders (a bit per record, a count per 64).
class TableBuilder::FolderSlots {
public:
    explicit FolderSlots(const std::vector<PackedRecord>& records)
        : bits_((records.size() + 63) / 64), ranks_(bits_.size()) {
        for (std::size_t number = 0; number < records.size(); ++number)
            if (records[number].Has(kDirectory))
                bits_[number / 64] |= std::uint64_t{1} << number % 64;
        for (std::size_t word = 0; word < bits_.size(); ++word) {
            ranks_[word] = count_;
            count_ += static_cast<std::uint32_t>(std::popcount(bits_[word]));
        }
    }
    std::uint32_t count() const { return count_; }
    std::uint32_t Of(std::uint32_t record) const {
        const std::uint64_t below = (std::uint64_t{1} << record % 64) - 1;
        return ranks_[record / 64] +
               static_cast<std::uint32_t>(std::popcount(bits_[record / 64] & below));
    }

private:
    std::vector<std::uint64_t> bits_;
    std::vector<std::uint32_t> ranks_;
    std::uint32_t count_ = 0;
};

// Every attached name's folder is a folder record, so the names are put in
// place folder by folder in one pass, each moved once (a counting sort done
// in place), instead of sorted: the order within a folder is nobody's
// concern, the scanner's results never depend on it. Meanwhile a name's
// `parent` holds its folder's slot.
void TableBuilder::GroupNames() {
    std::vector<std::uint32_t> folders;  // by slot, the folder's record
    {
        const FolderSlots slots(table_->records_);
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (CancelledAt(i)) return;
            pending_[i].parent = slots.Of(pending_[i].parent);
        }
        folders.reserve(slots.count());
        for (std::uint32_t number = 0; number < table_->records_.size(); ++number)
            if (table_->records_[number].Has(kDirectory)) folders.push_back(number);
    }
    std::vector<std::uint32_t> ends(folders.size() + 1, 0);
    for (const PendingName& name : pending_) ends[name.parent + 1]++;
    for (std::size_t slot = 1; slot < ends.size(); ++slot) ends[slot] += ends[slot - 1];
    std::vector<std::uint32_t> heads(ends.begin(), ends.end() - 1);
    std::size_t moved = 0;
    for (std::uint32_t slot = 0; slot < folders.size(); ++slot) {
        while (heads[slot] < ends[slot + 1]) {
            PendingName name = pending_[heads[slot]];
            while (name.parent != slot) {
                if (CancelledAt(++moved)) return;
                std::swap(name, pending_[heads[name.parent]++]);
            }
            pending_[heads[slot]++] = name;
        }
    }
    NarrowNames(folders);
}

// The grouped names rewritten as the table's, each folder's start noted.
void TableBuilder::NarrowNames(const std::vector<std::uint32_t>& folder_records) {
    auto& folders = table_->folders_;
    std::uint32_t index = 0;
    table_->names_ = std::move(pending_).NarrowInto<TableName>([&](const PendingName& name) {
        const std::uint32_t folder = folder_records[name.parent];
        if (folders.empty() || folders.back().folder != folder) folders.push_back({folder, index});
        ++index;
        return TableName{name.record, name.text};
    });
    folders.push_back({kNoFolder, index});
    folders.shrink_to_fit();
}

void TableBuilder::MarkMetafiles() {
    auto& records = table_->records_;
    const std::uint32_t low = std::min<std::uint32_t>(kFirstUserRecord, records.size());
    for (std::uint32_t number = 0; number < low; ++number)
        if (number != kRootRecord) records[number].flags |= kMetafile;
    if (kExtendRecord < records.size()) Mark(kExtendRecord, kMetafile, false);
    DropMetafileNames();
}

// Each folder's names move up over the metafiles' in place.
void TableBuilder::DropMetafileNames() {
    auto& names = table_->names_;
    auto& folders = table_->folders_;
    std::uint32_t kept = 0;
    for (std::size_t f = 0; f + 1 < folders.size(); ++f) {
        const std::uint32_t begin = folders[f].begin;
        const std::uint32_t end = folders[f + 1].begin;
        folders[f].begin = kept;
        for (std::uint32_t i = begin; i < end; ++i)
            if (!table_->records_[names[i].record].Has(kMetafile)) names[kept++] = names[i];
    }
    folders.back().begin = kept;
    names.Truncate(kept);
}

void TableBuilder::MarkReachable() {
    if (kRootRecord < table_->records_.size() && table_->records_[kRootRecord].Has(kInUse))
        Mark(kRootRecord, kReachable, true);
}

// Marks `from` and everything below it. Each folder has one name, so each is
// entered once; the mark itself also stops a loop.
void TableBuilder::Mark(std::uint32_t from, RecordFlag flag, bool skip_metafiles) {
    auto& records = table_->records_;
    std::vector<std::uint32_t> folders{from};
    records[from].flags |= flag;
    for (std::size_t entered = 1; !folders.empty(); ++entered) {
        if (CancelledAt(entered)) return;
        const std::uint32_t folder = folders.back();
        folders.pop_back();
        for (const TableName& name : table_->NamesIn(folder)) {
            PackedRecord& record = records[name.record];
            if ((record.flags & flag) || (skip_metafiles && record.Has(kMetafile))) continue;
            record.flags |= flag;
            // A junction is listed, never followed, as the walk does.
            if (record.Has(kDirectory) && !record.Has(kLinkReparse)) folders.push_back(name.record);
        }
    }
}

void TableBuilder::CountNames() {
    for (const TableName& name : table_->names_) {
        std::uint8_t& count = table_->records_[name.record].names;
        if (count < 255) count++;
    }
}

void TableBuilder::SumLedger() {
    TableFacts& facts = table_->facts_;
    ExplainedBytes& explained = facts.explained;
    const auto& records = table_->records_;
    for (std::uint32_t number = 0; number < records.size(); ++number) {
        if (CancelledAt(number)) return;
        if (!records[number].Has(kInUse)) continue;
        const RecordExtras extras = table_->Extras(number);
        const TableRecord record = table_->record(number);
        if (record.Has(kReachable) && !record.Has(kMetafile)) {
            AddSaturating(explained.folder_indexes, extras.indexes);
            AddSaturating(explained.alternate_streams, extras.streams);
            AddSaturating(explained.other_attributes, extras.other);
            continue;
        }
        std::uint64_t& bucket =
            record.Has(kMetafile) ? explained.metadata : explained.orphaned_damaged;
        for (std::uint64_t bytes :
             {record.data_allocated, extras.streams, extras.indexes, extras.other})
            AddSaturating(bucket, bytes);
        if (!record.Has(kMetafile)) facts.orphaned_records++;
    }
}

}  // namespace orvane::engine::ntfs
