#include "ntfs/table_builder.h"

#include <algorithm>
#include <limits>

#include "core/folder_node.h"
#include "ntfs/name_text.h"

namespace orvane::engine::ntfs {
namespace {

constexpr std::uint32_t kVolumeBitmapRecord = 6;
constexpr std::uint32_t kBadClustersRecord = 8;
constexpr std::uint8_t kNameSeen = 0x20;  // while attaching: a folder already has its name
constexpr std::uint8_t kDosNamespace = 2;
constexpr std::uint32_t kNameSurrogate = 0x2000'0000;

// "$Bad", the stream of $BadClus that spans the volume without holding it.
bool IsBadClusterStream(const Attribute& attribute) {
    static constexpr std::uint8_t kBad[] = {'$', 0, 'B', 0, 'a', 0, 'd', 0};
    return attribute.name.size() == sizeof kBad &&
           std::equal(kBad, kBad + sizeof kBad, attribute.name.data());
}

bool ByParent(const TableName& a, const TableName& b) {
    if (a.parent != b.parent) return a.parent < b.parent;
    return a.record != b.record ? a.record < b.record : a.text < b.text;
}

}  // namespace

std::span<const TableName> FileTable::NamesIn(std::uint32_t folder) const {
    auto range = std::equal_range(
        names_.begin(), names_.end(), TableName{0, folder, 0, 0, 0},
        [](const TableName& a, const TableName& b) { return a.parent < b.parent; });
    return {range.first, range.second};
}

TableBuilder::TableBuilder(const VolumeGeometry& geometry, std::uint32_t record_count)
    : table_(std::make_unique<FileTable>()) {
    table_->geometry_ = geometry;
    table_->records_.resize(record_count);
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
    const std::size_t names_before = table_->names_.size();
    const std::size_t arena_before = table_->arena_.size();
    Contribution part;
    if (!Collect(number, owner, attributes_, part)) {
        table_->names_.resize(names_before);
        table_->arena_.resize(arena_before);
        table_->facts_.damaged_records++;
        return;
    }
    if (extension) {
        extensions_.push_back(
            {owner, header.base.sequence, names_before, table_->names_.size(), part});
        return;
    }
    TableRecord& record = table_->records_[number];
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
    NativeString& arena = table_->arena_;
    if (arena.size() > std::numeric_limits<std::uint32_t>::max() - 1024) throw std::bad_alloc();
    const std::size_t start = arena.size();
    AppendNativeName(value.Sub(0x42, 2u * length), arena);
    table_->names_.push_back({owner, static_cast<std::uint32_t>(parent.record),
                              static_cast<std::uint32_t>(start), parent.sequence,
                              static_cast<std::uint16_t>(arena.size() - start)});
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
    TableRecord& record = table_->records_[number];
    if (part.has_data) {
        record.data_allocated = part.data_allocated;
        record.data_size = part.data_size;
    }
    if (part.link_reparse) record.flags |= kLinkReparse;
    AddExtras(record, part.extras);
}

void TableBuilder::AddExtras(TableRecord& record, const RecordExtras& extras) {
    if (extras.streams == 0 && extras.indexes == 0 && extras.other == 0) return;
    if (record.extras == 0) {
        table_->extras_.push_back({});
        record.extras = static_cast<std::uint32_t>(table_->extras_.size());
    }
    RecordExtras& kept = table_->extras_[record.extras - 1];
    AddSaturating(kept.streams, extras.streams);
    AddSaturating(kept.indexes, extras.indexes);
    AddSaturating(kept.other, extras.other);
}

std::unique_ptr<FileTable> TableBuilder::Settle(const std::atomic<bool>& cancel) {
    void (TableBuilder::*const steps[])() = {
        &TableBuilder::JoinExtensions, &TableBuilder::AttachNames, &TableBuilder::MarkMetafiles,
        &TableBuilder::MarkReachable,  &TableBuilder::CountNames,  &TableBuilder::SumLedger};
    for (auto step : steps) {
        if (cancel.load(std::memory_order_relaxed)) return nullptr;
        (this->*step)();
    }
    return std::move(table_);
}

// An extension whose base is not in use, or is a newer file in a reused
// record, belongs to no file: its names go, its bytes count as orphaned.
void TableBuilder::JoinExtensions() {
    auto& names = table_->names_;
    for (const Extension& extension : extensions_) {
        const TableRecord& base = table_->records_[extension.base];
        if (base.Has(kInUse) && base.sequence == extension.base_sequence) {
            Apply(extension.base, extension.part);
            continue;
        }
        for (std::size_t i = extension.names_begin; i < extension.names_end; ++i)
            names[i].record = 0;  // record 0 never has a name in the tree
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

// A name stays when its file and its folder are in use and the folder is the
// one it names (same sequence number); a folder keeps only its first name,
// so the folders form a tree whatever the records claim.
void TableBuilder::AttachNames() {
    auto& records = table_->records_;
    auto detached = [&](const TableName& name) {
        TableRecord& record = records[name.record];
        const TableRecord& parent = records[name.parent];
        if (name.record == 0 || name.record == kRootRecord || name.record == name.parent ||
            !record.Has(kInUse) || !parent.Has(kInUse) || !parent.Has(kDirectory) ||
            parent.sequence != name.parent_sequence)
            return true;
        if (!record.Has(kDirectory)) return false;
        if (record.flags & kNameSeen) return true;
        record.flags |= kNameSeen;
        return false;
    };
    auto& names = table_->names_;
    names.erase(std::remove_if(names.begin(), names.end(), detached), names.end());
    for (TableRecord& record : records) record.flags &= ~kNameSeen;
    std::sort(names.begin(), names.end(), ByParent);
}

void TableBuilder::MarkMetafiles() {
    auto& records = table_->records_;
    const std::uint32_t low = std::min<std::uint32_t>(kFirstUserRecord, records.size());
    for (std::uint32_t number = 0; number < low; ++number)
        if (number != kRootRecord) records[number].flags |= kMetafile;
    if (kExtendRecord < records.size()) Mark(kExtendRecord, kMetafile, false);
    auto& names = table_->names_;
    names.erase(
        std::remove_if(names.begin(), names.end(),
                       [&](const TableName& name) { return records[name.record].Has(kMetafile); }),
        names.end());
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
    while (!folders.empty()) {
        const std::uint32_t folder = folders.back();
        folders.pop_back();
        for (const TableName& name : table_->NamesIn(folder)) {
            TableRecord& record = records[name.record];
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
    for (const TableRecord& record : table_->records_) {
        if (!record.Has(kInUse)) continue;
        const RecordExtras extras =
            record.extras ? table_->extras_[record.extras - 1] : RecordExtras{};
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
