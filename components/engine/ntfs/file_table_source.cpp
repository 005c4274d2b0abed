#include "ntfs/file_table_source.h"

#include <cstdio>

#include "ntfs/table_walk.h"

namespace orvane::engine::ntfs {

bool FileTableSource::Read(const NativeString& path) {
    OpenedVolume volume = OpenVolume(path);
    if (!volume.reader) {
        problem_ = "the volume cannot be opened for reading: " + volume.error;
        return false;
    }
    TableReadResult read = ReadFileTable(*volume.reader, cancel_, progress_);
    table_ = std::move(read.table);
    problem_ = std::move(read.problem);
    return table_ != nullptr;
}

SourceMaker FileTableSource::Walks() const {
    return table_ ? TableWalk::Maker(*table_) : SourceMaker();
}

ScanMethodNote FileTableSource::Method() const {
    ScanMethodNote note;
    if (!table_) {
        note.table_unavailable = problem_;
        return note;
    }
    note.file_table = true;
    note.records_in_use = table_->facts().records_in_use;
    note.damaged_records = table_->facts().damaged_records;
    note.orphaned_records = table_->facts().orphaned_records;
    return note;
}

std::optional<TableVolumeFigures> FileTableSource::Figures() const {
    if (!table_ || !table_->facts().used_known) return std::nullopt;
    TableVolumeFigures figures;
    const VolumeGeometry& geometry = table_->geometry();
    figures.volume_bytes = geometry.volume_bytes();
    const std::uint64_t used = table_->facts().used_clusters * geometry.cluster_size;
    figures.free_bytes = used < figures.volume_bytes ? figures.volume_bytes - used : 0;
    char serial[16];
    const auto low = static_cast<std::uint32_t>(geometry.serial);
    std::snprintf(serial, sizeof serial, "%04X-%04X", low >> 16, low & 0xFFFF);
    figures.serial = serial;
    figures.explained = table_->facts().explained;
    return figures;
}

SourceFacts FileTableSource::Facts() const { return {Method(), Figures()}; }

}  // namespace orvane::engine::ntfs
