/* Makes NTFS test volumes and reads them back through the file system's own
 * library, as the independent reference for the file-table reader.
 *
 *   ntfs_image_tool populate IMG        the mixed volume (every case at once)
 *   ntfs_image_tool churn IMG           many files made and deleted: a
 *                                       fragmented table
 *   ntfs_image_tool many IMG COUNT [MOD] COUNT files of (i % MOD) bytes (default
 *                                       5000), 1000 to a folder
 *   ntfs_image_tool reference IMG       "key value" lines: entries, bytes,
 *                                       clusters in use
 *
 * IMG must have been formatted with mkntfs. Writing goes through
 * libntfs-3g directly (no FUSE mount), closing each new file in its folder. */
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <ntfs-3g/types.h>
#include <ntfs-3g/attrib.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/layout.h>
#include <ntfs-3g/reparse.h>
#include <ntfs-3g/runlist.h>
#include <ntfs-3g/security.h>
#include <ntfs-3g/unistr.h>
#include <ntfs-3g/volume.h>

static void die(const char* what) {
    fprintf(stderr, "ntfs_image_tool: %s: %s\n", what, strerror(errno));
    exit(1);
}

/* --- writing ------------------------------------------------------------ */

static ntfs_inode* create_in(ntfs_inode* dir, const char* name, mode_t type) {
    ntfschar* uname = NULL;
    int length = ntfs_mbstoucs(name, &uname);
    if (length < 0) die(name);
    ntfs_inode* ni = ntfs_create(dir, const_cpu_to_le32(0), uname, (u8)length, type);
    free(uname);
    if (!ni) die(name);
    return ni;
}

static void link_in(ntfs_inode* ni, ntfs_inode* dir, const char* name) {
    ntfschar* uname = NULL;
    int length = ntfs_mbstoucs(name, &uname);
    if (length < 0 || ntfs_link(ni, dir, uname, (u8)length)) die(name);
    free(uname);
}

static void write_stream(ntfs_inode* ni, const char* stream, s64 offset, const void* data,
                         s64 size) {
    ntfschar* uname = NULL;
    int length = 0;
    if (stream) {
        length = ntfs_mbstoucs(stream, &uname);
        if (ntfs_attr_add(ni, AT_DATA, uname, length, NULL, 0)) die(stream);
    }
    ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, stream ? uname : AT_UNNAMED, length);
    if (!na) die("open stream");
    if (ntfs_attr_pwrite(na, offset, size, data) != size) die("write");
    ntfs_attr_close(na);
    free(uname);
}

static void fill(char* buffer, size_t size, unsigned seed) {
    for (size_t i = 0; i < size; ++i) buffer[i] = (char)((i * 131 + seed * 7 + i / 97) & 0xFF);
}

/* A file of `size` bytes in `dir`, closed. */
static void make_file(ntfs_inode* dir, const char* name, size_t size, unsigned seed) {
    ntfs_inode* ni = create_in(dir, name, S_IFREG);
    if (size) {
        char* data = malloc(size);
        fill(data, size, seed);
        write_stream(ni, NULL, 0, data, (s64)size);
        free(data);
    }
    ntfs_inode_close_in_dir(ni, dir);
}

static ntfs_inode* make_dir(ntfs_inode* parent, const char* name) {
    return create_in(parent, name, S_IFDIR);
}

static void close_dir(ntfs_inode* dir, ntfs_inode* parent) {
    if (ntfs_inode_close_in_dir(dir, parent)) die("close folder");
}

/* Three names in three folders; forty long names, which take more room than
 * one record and so need an attribute list. */
static void make_links(ntfs_inode* root) {
    ntfs_inode* links = make_dir(root, "links");
    ntfs_inode* a = make_dir(links, "a");
    ntfs_inode* b = make_dir(links, "b");
    ntfs_inode* c = make_dir(links, "c");
    ntfs_inode* ni = create_in(a, "one.dat", S_IFREG);
    char data[100000];
    fill(data, sizeof data, 1);
    write_stream(ni, NULL, 0, data, sizeof data);
    link_in(ni, b, "two.dat");
    link_in(ni, c, "three.dat");
    ntfs_inode_close_in_dir(ni, a);
    ntfs_inode* many = create_in(links, "target.bin", S_IFREG);
    write_stream(many, NULL, 0, data, 5000);
    for (int i = 0; i < 40; ++i) {
        char name[256];
        snprintf(name, sizeof name, "%02d-%0200d.lnk", i, 0);
        link_in(many, c, name);
    }
    ntfs_inode_close_in_dir(many, links);
    close_dir(a, links);
    close_dir(b, links);
    close_dir(c, links);
    close_dir(links, root);
}

/* Named streams: one large, sixty small (an attribute list), one on a folder. */
static void make_streams(ntfs_inode* root) {
    ntfs_inode* dir = make_dir(root, "streams");
    static char data[300000];
    fill(data, sizeof data, 2);
    ntfs_inode* big = create_in(dir, "big.txt", S_IFREG);
    write_stream(big, NULL, 0, data, 1000);
    write_stream(big, "big", 0, data, sizeof data);
    ntfs_inode_close_in_dir(big, dir);
    ntfs_inode* many = create_in(dir, "many.txt", S_IFREG);
    for (int i = 0; i < 60; ++i) {
        char name[32];
        snprintf(name, sizeof name, "stream%02d", i);
        write_stream(many, name, 0, data, 100);
    }
    ntfs_inode_close_in_dir(many, dir);
    write_stream(dir, "folderstream", 0, data, 10000);
    close_dir(dir, root);
}

/* A folder marked compressed makes the files made in it compressed. */
static void make_compressed_and_sparse(ntfs_volume* vol, ntfs_inode* root) {
    NVolSetCompression(vol);
    ntfs_inode* dir = make_dir(root, "compressed");
    le32 attributes = const_cpu_to_le32(FILE_ATTR_COMPRESSED | FILE_ATTR_DIRECTORY);
    if (ntfs_set_ntfs_attrib(dir, (const char*)&attributes, sizeof attributes, 0))
        die("compress folder");
    static char text[200000];
    for (size_t i = 0; i < sizeof text; ++i) text[i] = "compressible text "[i % 18];
    ntfs_inode* ni = create_in(dir, "c1.txt", S_IFREG);
    write_stream(ni, NULL, 0, text, sizeof text);
    ntfs_inode_close_in_dir(ni, dir);
    close_dir(dir, root);
    ni = create_in(root, "sparse.bin", S_IFREG);
    write_stream(ni, NULL, 50 << 20, text, 65536);
    ntfs_inode_close_in_dir(ni, root);
    /* Beyond 4 GiB: a logical size that needs more than 32 bits. */
    ni = create_in(root, "sparse-5g.bin", S_IFREG);
    write_stream(ni, NULL, (s64)5 << 30, text, 65536);
    ntfs_inode_close_in_dir(ni, root);
}

/* Written back to front, so its clusters are not in one piece. */
static void make_fragmented(ntfs_inode* root) {
    ntfs_inode* ni = create_in(root, "fragmented.bin", S_IFREG);
    char block[65536];
    for (int i = 39; i >= 0; --i) {
        fill(block, sizeof block, (unsigned)i);
        write_stream(ni, NULL, (s64)i * (s64)sizeof block, block, sizeof block);
        /* Something else between the pieces. */
        char name[32];
        snprintf(name, sizeof name, "between-%02d", i);
        make_file(root, name, 8192, (unsigned)i);
    }
    ntfs_inode_close_in_dir(ni, root);
}

static void make_names(ntfs_inode* root) {
    static const char* const names[] = {
        /* split so that the hex escape ends before the "e" */
        ("Gr\xc3\xbc\xc3\x9f"
         "e.txt"),
        "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt",
        "\xf0\x9f\x98\x80 emoji.txt",
        "Case.txt",
        "CASE.txt",
        "case.TXT",
        "a:b",
        "what?",
        "trailing. ",
        "con",
        "tiny.txt"};
    ntfs_inode* dir = make_dir(root, "names");
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) make_file(dir, names[i], 10 + i, 3);
    close_dir(dir, root);
}

static void make_big_and_deep(ntfs_inode* root) {
    ntfs_inode* big = make_dir(root, "big");
    for (int i = 0; i < 20000; ++i) {
        char name[32];
        snprintf(name, sizeof name, "entry-%05d.txt", i);
        make_file(big, name, (size_t)(i % 3), (unsigned)i);
    }
    close_dir(big, root);
    ntfs_inode* chain[121];
    chain[0] = root;
    for (int level = 1; level <= 120; ++level) chain[level] = make_dir(chain[level - 1], "level");
    make_file(chain[120], "bottom.txt", 4000, 9);
    for (int level = 120; level >= 1; --level) close_dir(chain[level], chain[level - 1]);
}

/* A reparse point as Windows writes one: tag, length, then the substitute
 * and print names ("\??\C:\target" and "C:\target"). */
static size_t reparse_value(char* out, uint32_t tag, int symlink) {
    static const char target[] = "C:\\target";
    uint16_t units[64];
    size_t n = 0;
    for (const char* p = "\\??\\"; *p; ++p) units[n++] = (uint16_t)*p;
    for (const char* p = target; *p; ++p) units[n++] = (uint16_t)*p;
    const size_t print = strlen(target);
    for (size_t i = 0; i < print; ++i) units[n++] = (uint16_t)target[i];
    const uint16_t substitute_bytes = (uint16_t)((n - print) * 2);
    const uint16_t fields[4] = {0, substitute_bytes, substitute_bytes, (uint16_t)(print * 2)};
    const size_t head = sizeof fields + (symlink ? 4 : 0);
    const uint16_t data_length = (uint16_t)(head + n * 2);
    memcpy(out, &tag, 4);
    memcpy(out + 4, &data_length, 2);
    memset(out + 6, 0, 2);
    memcpy(out + 8, fields, sizeof fields);
    if (symlink) memset(out + 16, 0, 4);
    memcpy(out + 8 + head, units, n * 2);
    return 8 + data_length;
}

static void make_reparse_points(ntfs_inode* root) {
    ntfs_inode* dir = make_dir(root, "reparse");
    char value[256];
    ntfs_inode* junction = make_dir(dir, "junction");
    if (ntfs_set_ntfs_reparse_data(junction, value, reparse_value(value, 0xA0000003u, 0), 0))
        die("junction");
    close_dir(junction, dir);
    ntfs_inode* link = create_in(dir, "symlink", S_IFREG);
    if (ntfs_set_ntfs_reparse_data(link, value, reparse_value(value, 0xA000000Cu, 1), 0))
        die("symlink");
    ntfs_inode_close_in_dir(link, dir);
    close_dir(dir, root);
}

static ntfs_volume* mount_rw(const char* image) {
    ntfs_volume* vol = ntfs_mount(image, NTFS_MNT_NONE);
    if (!vol) die(image);
    return vol;
}

static ntfs_inode* open_root(ntfs_volume* vol) {
    ntfs_inode* root = ntfs_inode_open(vol, FILE_root);
    if (!root) die("root");
    return root;
}

static void finish(ntfs_volume* vol, ntfs_inode* root) {
    ntfs_inode_close(root);
    if (ntfs_umount(vol, FALSE)) die("unmount");
}

static void populate(const char* image) {
    ntfs_volume* vol = mount_rw(image);
    ntfs_inode* root = open_root(vol);
    make_links(root);
    make_streams(root);
    make_compressed_and_sparse(vol, root);
    make_fragmented(root);
    make_names(root);
    make_reparse_points(root);
    make_big_and_deep(root);
    finish(vol, root);
}

/* A volume nearly filled first, then files made and every other one
 * deleted, round after round: the table has to grow into whatever clusters
 * the deleted files left free. */
static void churn(const char* image) {
    ntfs_volume* vol = mount_rw(image);
    ntfs_inode* root = open_root(vol);
    const s64 free_bytes = (vol->nr_clusters - 2048) * vol->cluster_size;
    static char block[1 << 20];
    ntfs_inode* filler = create_in(root, "filler", S_IFREG);
    for (s64 at = 0; at + (s64)sizeof block <= free_bytes * 1 / 2; at += sizeof block)
        write_stream(filler, NULL, at, block, sizeof block);
    ntfs_inode_close_in_dir(filler, root);
    for (int round = 0; round < 6; ++round) {
        char folder[64], name[64];
        snprintf(folder, sizeof folder, "round%d", round);
        ntfs_inode* dir = make_dir(root, folder);
        for (int i = 0; i < 1200; ++i) {
            snprintf(name, sizeof name, "f%04d", i);
            make_file(dir, name, i % 2 ? 8000 : 100, (unsigned)i);
        }
        close_dir(dir, root);
        for (int i = 1; i < 1200; i += 2) {
            /* Deleting closes both inodes it is given. */
            ntfschar* uname = NULL;
            snprintf(name, sizeof name, "f%04d", i);
            int length = ntfs_mbstoucs(name, &uname);
            dir = ntfs_pathname_to_inode(vol, root, folder);
            ntfs_inode* ni = dir ? ntfs_pathname_to_inode(vol, dir, name) : NULL;
            if (!ni || ntfs_delete(vol, NULL, ni, dir, uname, (u8)length)) die("delete");
            free(uname);
        }
    }
    finish(vol, root);
}

static void many(const char* image, long count, long modulus) {
    ntfs_volume* vol = mount_rw(image);
    ntfs_inode* root = open_root(vol);
    for (long folder = 0; folder * 1000 < count; ++folder) {
        char name[64];
        snprintf(name, sizeof name, "d%05ld", folder);
        ntfs_inode* dir = make_dir(root, name);
        for (long i = folder * 1000; i < count && i < (folder + 1) * 1000; ++i) {
            snprintf(name, sizeof name, "file-%07ld.dat", i);
            make_file(dir, name, (size_t)(i % modulus), (unsigned)i);
        }
        close_dir(dir, root);
    }
    finish(vol, root);
}

/* --- the reference -------------------------------------------------------- */

struct reference {
    ntfs_volume* vol;
    unsigned long long files, folders, logical, allocated;
    unsigned char* seen; /* records whose data was counted */
    unsigned long long seen_size;
};

static int is_sized(const ntfs_attr* na) {
    return (na->data_flags & (ATTR_COMPRESSION_MASK | ATTR_IS_SPARSE)) != 0;
}

/* The unnamed stream's sizes of record `mref`, once per record. */
static void count_data(struct reference* ref, MFT_REF mref) {
    unsigned long long record = MREF(mref);
    if (record < ref->seen_size) {
        if (ref->seen[record]) return;
        ref->seen[record] = 1;
    }
    ntfs_inode* ni = ntfs_inode_open(ref->vol, mref);
    if (!ni) die("open inode");
    /* The library answers a folder's named stream when it has no unnamed one. */
    ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
    if (na && na->name_len) {
        ntfs_attr_close(na);
        na = NULL;
    }
    if (na) {
        ref->logical += (unsigned long long)na->data_size;
        if (NAttrNonResident(na))
            ref->allocated +=
                (unsigned long long)(is_sized(na) ? na->compressed_size : na->allocated_size);
        ntfs_attr_close(na);
    }
    ntfs_inode_close(ni);
}

struct listing {
    struct reference* ref;
    MFT_REF* folders;
    size_t count, capacity;
    int at_root;
};

static int list_entry(void* context, const ntfschar* name, const int name_len, const int name_type,
                      const s64 pos, const MFT_REF mref, const unsigned dt_type) {
    (void)pos;
    struct listing* listing = context;
    if (name_type == FILE_NAME_DOS) return 0;
    if (name_len == 1 && le16_to_cpu(name[0]) == '.') return 0;
    if (name_len == 2 && le16_to_cpu(name[0]) == '.' && le16_to_cpu(name[1]) == '.') return 0;
    if (listing->at_root && MREF(mref) < 24) return 0; /* the metafiles */
    if (dt_type == NTFS_DT_DIR) {
        listing->ref->folders++;
        if (listing->count == listing->capacity) {
            listing->capacity = listing->capacity ? 2 * listing->capacity : 64;
            listing->folders = realloc(listing->folders, listing->capacity * sizeof(MFT_REF));
        }
        listing->folders[listing->count++] = mref;
    } else {
        listing->ref->files++;
    }
    count_data(listing->ref, mref);
    return 0;
}

/* Every name under the root, as a mount lists them; junctions are listed,
 * not entered (ntfs-3g shows them as links). */
static void walk(struct reference* ref) {
    struct listing listing = {ref, NULL, 0, 0, 1};
    MFT_REF* stack = malloc(sizeof(MFT_REF));
    size_t depth = 1;
    stack[0] = FILE_root;
    ref->folders = 1;
    while (depth) {
        MFT_REF folder = stack[--depth];
        ntfs_inode* ni = ntfs_inode_open(ref->vol, folder);
        if (!ni) die("open folder");
        s64 pos = 0;
        listing.count = 0;
        listing.at_root = MREF(folder) == FILE_root;
        if (ntfs_readdir(ni, &pos, &listing, list_entry)) die("readdir");
        ntfs_inode_close(ni);
        stack = realloc(stack, (depth + listing.count) * sizeof(MFT_REF));
        memcpy(stack + depth, listing.folders, listing.count * sizeof(MFT_REF));
        depth += listing.count;
    }
    free(stack);
    free(listing.folders);
}

/* What every attribute of every in-use record holds on the volume,
 * $BadClus:$Bad left out: on a consistent volume, the clusters in use. */
static unsigned long long all_attributes(ntfs_volume* vol) {
    unsigned long long total = 0;
    const s64 records = vol->mft_na->initialized_size >> vol->mft_record_size_bits;
    for (s64 r = 0; r < records; ++r) {
        ntfs_inode* ni = ntfs_inode_open(vol, (MFT_REF)r);
        if (!ni) continue;
        if (ni->mrec->base_mft_record) {
            ntfs_inode_close(ni);
            continue;
        }
        ntfs_attr_search_ctx* ctx = ntfs_attr_get_search_ctx(ni, NULL);
        while (!ntfs_attrs_walk(ctx)) {
            const ATTR_RECORD* a = ctx->attr;
            if (!a->non_resident || a->lowest_vcn) continue;
            if (r == FILE_BadClus && a->type == AT_DATA && a->name_length) continue;
            const int sized = (a->flags & (ATTR_COMPRESSION_MASK | ATTR_IS_SPARSE)) != 0;
            total +=
                (unsigned long long)sle64_to_cpu(sized ? a->compressed_size : a->allocated_size);
        }
        ntfs_attr_put_search_ctx(ctx);
        ntfs_inode_close(ni);
    }
    return total;
}

static unsigned long long used_clusters(ntfs_volume* vol) {
    const s64 bytes = (vol->nr_clusters + 7) / 8;
    unsigned char* bitmap = malloc((size_t)bytes);
    if (ntfs_attr_pread(vol->lcnbmp_na, 0, bytes, bitmap) != bytes) die("bitmap");
    unsigned long long used = 0;
    for (s64 c = 0; c < vol->nr_clusters; ++c) used += (bitmap[c / 8] >> (c % 8)) & 1;
    free(bitmap);
    return used;
}

static int table_runs(ntfs_volume* vol) {
    if (ntfs_attr_map_whole_runlist(vol->mft_na)) die("map table");
    int runs = 0;
    for (runlist_element* rl = vol->mft_na->rl; rl->length; ++rl)
        if (rl->lcn >= 0) runs++;
    return runs;
}

static void reference(const char* image) {
    struct reference ref = {0};
    ref.vol = ntfs_mount(image, NTFS_MNT_RDONLY);
    if (!ref.vol) die(image);
    ref.seen_size =
        (unsigned long long)(ref.vol->mft_na->initialized_size >> ref.vol->mft_record_size_bits);
    ref.seen = calloc(ref.seen_size ? ref.seen_size : 1, 1);
    walk(&ref);
    printf("files %llu\nfolders %llu\nlogical %llu\nallocated %llu\n", ref.files, ref.folders,
           ref.logical, ref.allocated);
    printf("cluster_size %u\nused_clusters %llu\nattribute_bytes %llu\ntable_runs %d\n",
           ref.vol->cluster_size, used_clusters(ref.vol), all_attributes(ref.vol),
           table_runs(ref.vol));
    free(ref.seen);
    ntfs_umount(ref.vol, FALSE);
}

int main(int argc, char** argv) {
    if (argc == 3 && !strcmp(argv[1], "populate"))
        populate(argv[2]);
    else if (argc == 3 && !strcmp(argv[1], "churn"))
        churn(argv[2]);
    else if ((argc == 4 || argc == 5) && !strcmp(argv[1], "many"))
        many(argv[2], atol(argv[3]), argc == 5 && atol(argv[4]) > 0 ? atol(argv[4]) : 5000);
    else if (argc == 3 && !strcmp(argv[1], "reference"))
        reference(argv[2]);
    else {
        fputs("usage: ntfs_image_tool populate|churn|reference IMG | many IMG COUNT [MOD]\n",
              stderr);
        return 2;
    }
    return 0;
}
