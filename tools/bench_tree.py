#!/usr/bin/env python3
"""Builds the benchmark's trees, the same on every run (fixed seed).

  bench_tree.py generated DIR    ~500,000 files in 50,000 folders
  bench_tree.py adversarial DIR  everything that trips a disk scanner up

Names are handled as bytes throughout, so names that are not UTF-8 are made
exactly as written.
"""
import os
import random
import stat
import sys

GENERATED_FOLDERS = 50_000
GENERATED_FILES = 500_000
EXTENSIONS = [b".txt", b".jpg", b".png", b".so", b".h", b".c", b".py", b".json", b".log",
              b".dat", b".JPG", b".tar.gz", b""]


def write_file(path, size, data_limit):
    """A file of `size` bytes of which at most `data_limit` are really written;
    the rest is a hole, so the tree stays small on disk."""
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        written = min(size, data_limit)
        if written:
            os.write(fd, b"x" * written)
        if size > written:
            os.ftruncate(fd, size)
    finally:
        os.close(fd)


def file_size(rng):
    roll = rng.random()
    if roll < 0.40:
        return rng.randrange(0, 1024)
    if roll < 0.75:
        return rng.randrange(1024, 8192)
    if roll < 0.95:
        return rng.randrange(8192, 65536)
    return rng.randrange(65536, 1 << 20)


def generated(root):
    rng = random.Random(20261207)
    os.makedirs(root, exist_ok=True)
    root = os.fsencode(root)
    folders = [root]
    # A random recursive tree: each folder hangs under a random earlier one,
    # which gives a realistic mix of wide and deep (about a dozen levels).
    for i in range(1, GENERATED_FOLDERS):
        parent = folders[rng.randrange(i)]
        path = parent + b"/dir-%05d" % i
        os.mkdir(path)
        folders.append(path)
    for i in range(GENERATED_FILES):
        folder = folders[rng.randrange(GENERATED_FOLDERS)]
        name = b"file-%06d%s" % (i, rng.choice(EXTENSIONS))
        size = file_size(rng)
        # One file in twenty holds all its data; the others only their first
        # block, the rest being a hole.
        write_file(folder + b"/" + name, size, size if i % 20 == 0 else 4096)


def adversarial(root):
    os.makedirs(root, exist_ok=True)
    r = os.fsencode(root)

    def p(*parts):
        return b"/".join((r,) + parts)

    # Hard links: one file with five names in three folders.
    for d in (b"links", b"links/a", b"links/b"):
        os.mkdir(p(d))
    write_file(p(b"links", b"original"), 100_000, 100_000)
    for name in (b"links/second", b"links/a/third", b"links/b/fourth", b"links/b/fifth"):
        os.link(p(b"links", b"original"), p(name))
    # A sparse file: 1 GiB long, one block of data.
    write_file(p(b"sparse.img"), 1 << 30, 4096)
    # Link loops and a dangling link.
    os.mkdir(p(b"loops"))
    os.symlink(b".", p(b"loops", b"self"))
    os.symlink(b"..", p(b"loops", b"parent"))
    os.symlink(b"ping", p(b"loops", b"pong"))
    os.symlink(b"pong", p(b"loops", b"ping"))
    os.symlink(b"/", p(b"loops", b"to-root"))
    os.symlink(b"nowhere", p(b"loops", b"dangling"))
    # An unreadable folder with contents (root needs its overrides dropped
    # for this to bind; bench.sh runs every tool that way).
    os.mkdir(p(b"locked"))
    os.mkdir(p(b"locked", b"inner"))
    write_file(p(b"locked", b"secret"), 50_000, 50_000)
    os.chmod(p(b"locked"), 0)
    # Paths over 300 characters.
    deep = p(b"long")
    os.mkdir(deep)
    for i in range(5):
        deep += b"/" + bytes([ord("a") + i]) * 120
        os.mkdir(deep)
    write_file(deep + b"/end", 3000, 3000)
    # Names that are not ASCII, and names that are not UTF-8 at all.
    os.mkdir(p(b"names"))
    for name in ("caf\u00e9", "\u65e5\u672c\u8a9e", "\U0001F600 smile", "tab\there", "new\nline",
                 "quote\"back\\slash", "-starts-with-dash", " leading space"):
        write_file(p(b"names", name.encode()), 10, 10)
    for name in (b"latin1-\xe9t\xe9", b"\xff\xfe", b"cut-\xe6\x97", b"\xc0\xaf-overlong"):
        write_file(p(b"names", name), 5000, 5000)
    os.mkdir(p(b"names", b"dir-\xff"))
    write_file(p(b"names", b"dir-\xff", b"inside"), 100, 100)
    os.mkfifo(p(b"names", b"fifo"))
    # Empty folders, some nested.
    os.mkdir(p(b"empty"))
    for i in range(1000):
        os.mkdir(p(b"empty", b"e%04d" % i))
        if i % 10 == 0:
            os.mkdir(p(b"empty", b"e%04d" % i, b"nested"))
    # 100,000 files in one folder.
    os.mkdir(p(b"crowd"))
    for i in range(100_000):
        write_file(p(b"crowd", b"f%06d" % i), i % 3000, 4096)
    # A chain 5,000 levels deep (far beyond PATH_MAX), built relative to
    # each level so no full path is ever needed.
    os.mkdir(p(b"chain"))
    fd = os.open(p(b"chain"), os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(5000):
        os.close(os.open(b"f", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd))
        os.mkdir(b"d", dir_fd=fd)
        next_fd = os.open(b"d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = next_fd
    os.close(fd)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("generated", "adversarial"):
        sys.exit(__doc__)
    {"generated": generated, "adversarial": adversarial}[sys.argv[1]](sys.argv[2])


if __name__ == "__main__":
    main()
