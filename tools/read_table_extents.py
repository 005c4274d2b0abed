#!/usr/bin/env python3
"""Reads an NTFS volume's file table ($MFT) and nothing else, its pieces in
the order they lie on the volume (the quickest sweep): the physical limit of
any reader of that table.

A table that grew with the volume is in many pieces across it, so reading
one run of bytes from its start would time other bytes than the table's, and
mostly sequential ones. The pieces come from record 0's $DATA run list
(update sequence applied), the way the volume itself says where its table
is.

  read_table_extents.py IMAGE            reads the table's pieces
  read_table_extents.py --list IMAGE     prints "OFFSET LENGTH" per piece, in the table's order
"""
import struct
import sys

CHUNK = 2 * 1024 * 1024


def record_zero(f):
    boot = f.read(512)
    sector, per_cluster = struct.unpack_from("<HB", boot, 0x0B)
    cluster = sector * per_cluster
    mft_cluster = struct.unpack_from("<Q", boot, 0x30)[0]
    size_code = struct.unpack_from("<b", boot, 0x40)[0]
    record_size = size_code * cluster if size_code > 0 else 1 << -size_code
    f.seek(mft_cluster * cluster)
    record = bytearray(f.read(record_size))
    usa_offset, usa_count = struct.unpack_from("<HH", record, 0x04)
    for i in range(1, usa_count):
        end = i * sector
        record[end - 2:end] = record[usa_offset + 2 * i:usa_offset + 2 * i + 2]
    return record, cluster


def data_runs(record):
    offset = struct.unpack_from("<H", record, 0x14)[0]
    while True:
        kind, length = struct.unpack_from("<II", record, offset)
        if kind == 0xFFFFFFFF:
            sys.exit("record 0 has no $DATA")
        if kind == 0x20:
            sys.exit("record 0 has an attribute list: its table's pieces are not all in it")
        if kind == 0x80 and record[offset + 9] == 0:  # the unnamed stream
            return record[offset + struct.unpack_from("<H", record, offset + 0x20)[0]:offset + length]
        offset += length


def extents(image):
    with open(image, "rb") as f:
        record, cluster = record_zero(f)
    runs, at, lcn, pieces = data_runs(record), 0, 0, []
    while at < len(runs) and runs[at] != 0:
        header = runs[at]
        length_size, offset_size = header & 0x0F, header >> 4
        length = int.from_bytes(runs[at + 1:at + 1 + length_size], "little")
        delta = int.from_bytes(runs[at + 1 + length_size:at + 1 + length_size + offset_size],
                               "little", signed=True)
        at += 1 + length_size + offset_size
        if offset_size == 0:
            sys.exit("the table has a sparse piece")
        lcn += delta
        pieces.append((lcn * cluster, length * cluster))
    return pieces


def main(args):
    listing = args[:1] == ["--list"]
    image = args[-1]
    pieces = extents(image)
    if listing:
        for offset, length in pieces:
            print(offset, length)
        return
    buffer = bytearray(CHUNK)
    view = memoryview(buffer)
    with open(image, "rb", buffering=0) as f:
        for offset, length in sorted(pieces):
            f.seek(offset)
            while length > 0:
                got = f.readinto(view[:min(CHUNK, length)])
                if not got:
                    sys.exit("the image ends inside its table")
                length -= got


if __name__ == "__main__":
    main(sys.argv[1:])
