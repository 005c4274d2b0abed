#include "ntfs/table_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <new>
#include <system_error>
#include <utility>

#include "ntfs/file_record.h"
#include "ntfs/read_ahead.h"
#include "ntfs/run_list.h"
#include "ntfs/table_builder.h"

namespace orvane::engine::ntfs {
namespace {

// An attribute list of record 0 with more entries than this is not a
// table's list but damage: a real one stays far below.
constexpr std::size_t kMostTablePieces = 65536;

struct AttributeListEntry {
    std::uint32_t type = 0;
    std::uint64_t lowest_vcn = 0;
    FileReference record;
};

// The entries of an attribute list naming unnamed attributes of `type`.
std::vector<AttributeListEntry> ListEntries(ByteView list, std::uint32_t type) {
    std::vector<AttributeListEntry> entries;
    std::uint64_t offset = 0;
    while (list.Holds(offset, 0x1A) && entries.size() < kMostTablePieces) {
        const std::uint16_t length = list.U16(offset + 4);
        if (length < 0x1A || !list.Holds(offset, length)) break;
        if (list.U32(offset) == type && list.U8(offset + 6) == 0)
            entries.push_back(
                {type, list.U64(offset + 8), SplitReference(list.U64(offset + 0x10))});
        offset += length;
    }
    return entries;
}

bool Aligned(std::uint64_t value, std::uint64_t alignment) { return value % alignment == 0; }

}  // namespace

class TableReading {
public:
    TableReading(VolumeReader& volume, const std::atomic<bool>& cancel, TableProgress& progress)
        : volume_(volume), cancel_(cancel), progress_(progress) {}

    TableReadResult Run();

private:
    // The table's own attribute, gathered from record 0 and its extensions.
    struct TableAttribute {
        bool present = false;
        std::vector<std::uint8_t> value;  // resident
        std::vector<Extent> runs;         // non-resident
        std::uint64_t size = 0;
    };

    bool Fail(const char* problem) {
        if (result_.problem.empty()) result_.problem = problem;
        return false;
    }
    bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }
    bool ReadBoot();
    bool VolumeRead(std::uint64_t offset, std::uint8_t* out, std::size_t length);
    bool ReadAligned(std::uint64_t offset, std::uint8_t* out, std::size_t length);
    bool ReadTableBytes(std::uint64_t offset, std::uint8_t* out, std::size_t length);
    const Extent* RunAt(std::uint64_t vcn) const;
    std::uint64_t WhereOnVolume(std::uint64_t offset) const;
    void InVolumeOrder(std::vector<std::uint64_t>& chunks) const;
    bool ReadStream(const std::vector<Extent>& runs, std::uint64_t size,
                    const std::function<void(const std::uint8_t*, std::size_t)>& take);
    bool ReadRecordZero(std::vector<Attribute>& attributes, AlignedBuffer& record);
    bool LocateTable();
    void TakePieces(const std::vector<Attribute>& attributes, bool with_list);
    bool FollowAttributeList();
    bool FollowListEntries(const std::vector<AttributeListEntry>& entries);
    bool CheckTableRuns();
    bool ReadInUseBitmap();
    bool ReadRecords(TableBuilder& builder);
    void ParseChunk(const ReadAhead::Chunk& chunk, TableBuilder& builder);
    void CountUsedClusters(TableBuilder& builder);
    bool InUse(std::uint64_t record) const { return (in_use_[record / 8] >> (record % 8)) & 1; }
    std::size_t InUseCount() const;

    VolumeReader& volume_;
    const std::atomic<bool>& cancel_;
    TableProgress& progress_;
    TableReadResult result_;
    VolumeGeometry geometry_;
    std::uint64_t limit_ = 0;  // no read reaches beyond this byte
    TableAttribute data_;      // $MFT's unnamed stream: the table itself
    TableAttribute bitmap_;    // $MFT:$BITMAP
    TableAttribute list_;      // record 0's attribute list
    std::uint32_t records_ = 0;
    std::vector<std::uint8_t> in_use_;
};

TableReadResult TableReading::Run() {
    try {
        if (!Cancelled() && ReadBoot() && !Cancelled() && LocateTable() && !Cancelled() &&
            ReadInUseBitmap() && !Cancelled()) {
            TableBuilder builder(geometry_, records_);
            // Most records in use have one name; a few have more.
            const std::size_t in_use = InUseCount();
            builder.ReserveNames(in_use + in_use / 8 + 64);
            if (ReadRecords(builder)) {
                CountUsedClusters(builder);
                result_.table = builder.Settle(cancel_);
            }
        }
    } catch (const std::bad_alloc&) {
        Fail("there is not enough memory for the file table");
    } catch (const std::system_error&) {
        Fail("no thread could be started to read the file table");
    }
    result_.cancelled = cancel_.load();
    if (result_.cancelled) result_.table.reset();
    return std::move(result_);
}

bool TableReading::ReadBoot() {
    const std::uint64_t size = volume_.Size();
    if (size != 0 && size < kBootReadSize) return Fail("the volume is too small for NTFS");
    limit_ = kBootReadSize;
    AlignedBuffer sector(kBootReadSize);
    if (!VolumeRead(0, sector.data(), kBootReadSize)) return Fail("the boot sector cannot be read");
    const BootSectorCheck check = CheckBootSector(ByteView(sector.data(), kBootReadSize), size);
    if (!check.valid) return Fail(check.problem.c_str());
    geometry_ = check.geometry;
    limit_ = geometry_.volume_bytes();
    return true;
}

// The one place the volume is read: the request is checked to be inside the
// volume and aligned as a volume handle demands.
bool TableReading::VolumeRead(std::uint64_t offset, std::uint8_t* out, std::size_t length) {
    const std::uint64_t sector = geometry_.bytes_per_sector ? geometry_.bytes_per_sector : 4096;
    if (offset > limit_ || length > limit_ - offset || !Aligned(offset, sector) ||
        !Aligned(length, sector) || !Aligned(reinterpret_cast<std::uintptr_t>(out), sector))
        return false;
    if (!volume_.Read(offset, out, length)) return false;
    progress_.bytes_read.fetch_add(length, std::memory_order_relaxed);
    return true;
}

// Any span of the volume: the sectors around it are read and the span copied.
bool TableReading::ReadAligned(std::uint64_t offset, std::uint8_t* out, std::size_t length) {
    const std::uint64_t sector = geometry_.bytes_per_sector;
    if (Aligned(offset, sector) && Aligned(length, sector) &&
        Aligned(reinterpret_cast<std::uintptr_t>(out), sector))
        return VolumeRead(offset, out, length);
    const std::uint64_t start = offset / sector * sector;
    if (offset > limit_ || length > limit_ - offset) return false;
    const std::uint64_t end = (offset + length + sector - 1) / sector * sector;
    AlignedBuffer buffer(static_cast<std::size_t>(end - start));
    if (!VolumeRead(start, buffer.data(), buffer.size())) return false;
    std::memcpy(out, buffer.data() + (offset - start), length);
    return true;
}

// The table's run holding virtual cluster `vcn`; null where no run does.
const Extent* TableReading::RunAt(std::uint64_t vcn) const {
    const auto& runs = data_.runs;
    auto run = std::upper_bound(runs.begin(), runs.end(), vcn,
                                [](std::uint64_t v, const Extent& e) { return v < e.vcn; });
    if (run == runs.begin()) return nullptr;
    --run;
    return vcn - run->vcn < run->length ? &*run : nullptr;
}

// Bytes of the table, by their offset within it, through its runs.
bool TableReading::ReadTableBytes(std::uint64_t offset, std::uint8_t* out, std::size_t length) {
    const std::uint64_t cluster = geometry_.cluster_size;
    while (length > 0) {
        const Extent* run = RunAt(offset / cluster);
        if (!run) return false;
        const std::uint64_t within = offset - run->vcn * cluster;
        const std::size_t piece = static_cast<std::size_t>(
            std::min<std::uint64_t>(run->length * cluster - within, length));
        if (run->sparse) {
            std::memset(out, 0, piece);
        } else if (!ReadAligned(run->lcn * cluster + within, out, piece)) {
            return false;
        }
        offset += piece;
        out += piece;
        length -= piece;
    }
    return true;
}

// Where the table's byte at `offset` lies on the volume; 0 for a byte the
// runs do not place (a sparse or missing piece: nothing is read there).
std::uint64_t TableReading::WhereOnVolume(std::uint64_t offset) const {
    const std::uint64_t cluster = geometry_.cluster_size;
    const Extent* run = RunAt(offset / cluster);
    if (!run || run->sparse) return 0;
    return run->lcn * cluster + (offset - run->vcn * cluster);
}

// A table that grew with its volume lies in pieces all over it, in no order;
// read in the table's own order, every piece is a seek across the disk. The
// records may be handed to the builder in any order, so the chunks are read
// in the order they lie on the volume instead: one sweep.
void TableReading::InVolumeOrder(std::vector<std::uint64_t>& chunks) const {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> placed;
    placed.reserve(chunks.size());
    for (std::uint64_t chunk : chunks)
        placed.emplace_back(WhereOnVolume(chunk * kTableChunkBytes), chunk);
    std::sort(placed.begin(), placed.end());
    for (std::size_t i = 0; i < chunks.size(); ++i) chunks[i] = placed[i].second;
}

// `size` bytes of a non-resident attribute, handed to `take` a chunk at a time.
bool TableReading::ReadStream(const std::vector<Extent>& runs, std::uint64_t size,
                              const std::function<void(const std::uint8_t*, std::size_t)>& take) {
    const std::uint64_t cluster = geometry_.cluster_size;
    AlignedBuffer buffer(std::max<std::size_t>(kTableChunkBytes, cluster));
    std::uint64_t done = 0;
    for (const Extent& run : runs) {
        if (done >= size) break;
        if (run.vcn * cluster != done) return false;  // a gap or an overlap
        for (std::uint64_t at = 0; at < run.length * cluster && done < size;) {
            if (cancel_.load(std::memory_order_relaxed)) return false;
            const auto piece = static_cast<std::size_t>(
                std::min<std::uint64_t>(run.length * cluster - at, buffer.size()));
            if (run.sparse) {
                std::memset(buffer.data(), 0, piece);
            } else if (!VolumeRead(run.lcn * cluster + at, buffer.data(), piece)) {
                return false;
            }
            const auto useful =
                static_cast<std::size_t>(std::min<std::uint64_t>(piece, size - done));
            take(buffer.data(), useful);
            done += useful;
            at += piece;
        }
    }
    return done >= size;
}

bool TableReading::ReadRecordZero(std::vector<Attribute>& attributes, AlignedBuffer& record) {
    const std::uint32_t size = geometry_.record_size;
    record = AlignedBuffer(size);
    if (!ReadAligned(geometry_.mft_cluster * geometry_.cluster_size, record.data(), size))
        return Fail("the file table's first record cannot be read");
    RecordHeader header;
    if (!ApplyFixups(record.data(), size, kFileMagic) ||
        !ParseRecord(ByteView(record.data(), size), header, attributes) || !header.in_use ||
        header.base.record != 0)
        return Fail("the file table's first record is damaged");
    return true;
}

// Where the table lies: record 0's own run list, completed through its
// attribute list when the table has more pieces than one record holds.
bool TableReading::LocateTable() {
    std::vector<Attribute> attributes;
    AlignedBuffer record;
    if (!ReadRecordZero(attributes, record)) return false;
    TakePieces(attributes, true);
    std::sort(data_.runs.begin(), data_.runs.end(),
              [](const Extent& a, const Extent& b) { return a.vcn < b.vcn; });
    if (list_.present && !FollowAttributeList()) return false;
    return CheckTableRuns();
}

// The pieces of the table's stream and bitmap (and its attribute list) that
// `attributes` hold.
void TableReading::TakePieces(const std::vector<Attribute>& attributes, bool with_list) {
    for (const Attribute& attribute : attributes) {
        TableAttribute* kept = nullptr;
        if (attribute.named()) continue;
        if (attribute.type == kData) kept = &data_;
        if (attribute.type == kBitmap) kept = &bitmap_;
        if (attribute.type == kAttributeList && with_list) kept = &list_;
        if (!kept) continue;
        if (attribute.resident) {
            kept->value.assign(attribute.value.data(),
                               attribute.value.data() + attribute.value.size());
            kept->size = attribute.data_size;
        } else {
            if (attribute.lowest_vcn == 0) kept->size = attribute.data_size;
            if (!DecodeRunList(attribute.pairs, attribute.lowest_vcn, attribute.highest_vcn,
                               geometry_.total_clusters, kept->runs))
                continue;  // CheckTableRuns finds the hole it leaves
        }
        kept->present = true;
    }
}

bool TableReading::FollowAttributeList() {
    if (list_.value.empty() && !list_.runs.empty()) {
        if (list_.size > (std::uint64_t{1} << 24))
            return Fail("the file table's attribute list is damaged");
        if (!ReadStream(list_.runs, list_.size, [&](const std::uint8_t* data, std::size_t length) {
                list_.value.insert(list_.value.end(), data, data + length);
            }))
            return Fail("the file table's attribute list cannot be read");
    }
    const ByteView list(list_.value.data(), list_.value.size());
    std::vector<AttributeListEntry> entries = ListEntries(list, kData);
    const std::vector<AttributeListEntry> bitmaps = ListEntries(list, kBitmap);
    entries.insert(entries.end(), bitmaps.begin(), bitmaps.end());
    // In order of the table's pieces, so each extension record lies in a
    // part of the table already located.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const AttributeListEntry& a, const AttributeListEntry& b) {
                         return a.lowest_vcn < b.lowest_vcn;
                     });
    return FollowListEntries(entries);
}

bool TableReading::FollowListEntries(const std::vector<AttributeListEntry>& entries) {
    const std::uint32_t size = geometry_.record_size;
    AlignedBuffer record(size);
    std::vector<std::uint64_t> done{0};
    std::vector<Attribute> attributes;
    for (const AttributeListEntry& entry : entries) {
        const std::uint64_t number = entry.record.record;
        if (std::find(done.begin(), done.end(), number) != done.end()) continue;
        done.push_back(number);
        RecordHeader header;
        if (number > (std::uint64_t{1} << 40) / size ||
            !ReadTableBytes(number * size, record.data(), size) ||
            !ApplyFixups(record.data(), size, kFileMagic) ||
            !ParseRecord(ByteView(record.data(), size), header, attributes) || !header.in_use ||
            header.base.record != 0)
            return Fail("a record holding part of the file table is damaged");
        TakePieces(attributes, false);
        std::sort(data_.runs.begin(), data_.runs.end(),
                  [](const Extent& a, const Extent& b) { return a.vcn < b.vcn; });
    }
    return true;
}

// The table's runs must follow one another from cluster 0 and cover it.
bool TableReading::CheckTableRuns() {
    const std::uint64_t cluster = geometry_.cluster_size;
    const std::uint32_t record = geometry_.record_size;
    std::uint64_t next = 0;
    for (const Extent& run : data_.runs) {
        if (run.vcn != next) return Fail("the file table's run list is damaged");
        next += run.length;
    }
    if (!data_.present || data_.runs.empty() || data_.size / cluster > next ||
        data_.size < 16u * record)
        return Fail("the file table's run list is damaged");
    const std::uint64_t records = std::min(data_.size, next * cluster) / record;
    if (records > 0xFFFF'FFF0u) return Fail("the file table has too many records");
    records_ = static_cast<std::uint32_t>(records);
    progress_.records_total.store(records_, std::memory_order_relaxed);
    return true;
}

// Which records are in use. Without a readable bitmap every record is read
// and its own header tells.
bool TableReading::ReadInUseBitmap() {
    const std::size_t bytes = (records_ + 7u) / 8u;
    in_use_.assign(bytes, 0xFF);
    std::vector<std::uint8_t> read;
    if (!bitmap_.present) return true;
    if (!bitmap_.runs.empty()) {
        const std::uint64_t size = std::min<std::uint64_t>(bitmap_.size, bytes);
        if (!ReadStream(bitmap_.runs, size, [&](const std::uint8_t* data, std::size_t length) {
                read.insert(read.end(), data, data + length);
            }))
            return !cancel_.load();  // read every record instead
    } else {
        read = bitmap_.value;
    }
    // Records beyond what the bitmap covers are taken as free.
    std::fill(in_use_.begin(), in_use_.end(), 0);
    std::copy_n(read.begin(), std::min(read.size(), bytes), in_use_.begin());
    return true;
}

std::size_t TableReading::InUseCount() const {
    std::size_t count = 0;
    for (std::uint8_t byte : in_use_) count += std::popcount(byte);
    return count;
}

bool TableReading::ReadRecords(TableBuilder& builder) {
    const std::uint32_t size = geometry_.record_size;
    const std::uint64_t per_chunk = kTableChunkBytes / size;
    std::vector<std::uint64_t> chunks;
    for (std::uint64_t first = 0; first < records_; first += per_chunk) {
        const std::uint64_t end = std::min<std::uint64_t>(first + per_chunk, records_);
        for (std::uint64_t r = first; r < end; ++r) {
            if (InUse(r)) {
                chunks.push_back(first / per_chunk);
                break;
            }
        }
    }
    InVolumeOrder(chunks);
    const std::uint64_t table_bytes = std::uint64_t{records_} * size;
    ReadAhead ahead(
        std::move(chunks), kTableChunkBytes,
        [&](std::uint64_t chunk, std::uint8_t* buffer) {
            const std::uint64_t start = chunk * kTableChunkBytes;
            const auto length = static_cast<std::size_t>(
                std::min<std::uint64_t>(kTableChunkBytes, table_bytes - start));
            return !cancel_.load(std::memory_order_relaxed) &&
                   ReadTableBytes(start, buffer, length);
        },
        kTableChunksAhead);
    ReadAhead::Chunk chunk;
    while (ahead.Next(chunk)) {
        if (cancel_.load(std::memory_order_relaxed)) return false;
        ParseChunk(chunk, builder);
    }
    return !cancel_.load();
}

void TableReading::ParseChunk(const ReadAhead::Chunk& chunk, TableBuilder& builder) {
    const std::uint32_t size = geometry_.record_size;
    const std::uint64_t first = chunk.number * (kTableChunkBytes / size);
    const std::uint64_t end = std::min<std::uint64_t>(first + kTableChunkBytes / size, records_);
    for (std::uint64_t r = first; r < end; ++r) {
        if (!InUse(r)) continue;
        if (chunk.read) {
            builder.AddRecord(static_cast<std::uint32_t>(r), chunk.writable + (r - first) * size);
        } else {
            builder.AddUnreadable(1);
        }
    }
    progress_.records_read.store(end, std::memory_order_relaxed);
}

// The clusters in use, per the volume's own bitmap ($Bitmap); bits past the
// last cluster are padding.
void TableReading::CountUsedClusters(TableBuilder& builder) {
    const std::uint64_t clusters = geometry_.total_clusters;
    std::uint64_t bit = 0;
    std::uint64_t used = 0;
    const bool read = !builder.VolumeBitmap().empty() &&
                      ReadStream(builder.VolumeBitmap(), (clusters + 7) / 8,
                                 [&](const std::uint8_t* data, std::size_t length) {
                                     for (std::size_t i = 0; i < length && bit < clusters; ++i) {
                                         std::uint8_t byte = data[i];
                                         if (clusters - bit < 8)
                                             byte &= (1u << (clusters - bit)) - 1;
                                         used += std::popcount(byte);
                                         bit += 8;
                                     }
                                 });
    if (read) builder.SetUsedClusters(used);
}

TableReadResult ReadFileTable(VolumeReader& volume, const std::atomic<bool>& cancel,
                              TableProgress& progress) {
    return TableReading(volume, cancel, progress).Run();
}

}  // namespace orvane::engine::ntfs
