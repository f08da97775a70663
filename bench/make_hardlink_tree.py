#!/usr/bin/env python3
"""make_hardlink_tree.py FOLDER N [--no-links]

Creates a tree shaped like two backup snapshots of the same data: N files (sparse, sizes from
1 KiB to 64 MiB) in FOLDER/snapshot-1/dNNN/, and the same files again as hard links in
FOLDER/snapshot-2/dNNN/, so every file has two names. With --no-links only the first
snapshot is made: the same walk without any file to remember, the baseline for the memory
that counting each linked file once costs."""
import os
import sys


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 2:
        sys.exit(__doc__)
    folder, count = args[0], int(args[1])
    links = "--no-links" not in sys.argv
    per_folder = 1000
    for i in range(count):
        sub = "d%04d" % (i // per_folder)
        first = os.path.join(folder, "snapshot-1", sub)
        if i % per_folder == 0:
            os.makedirs(first, exist_ok=True)
            if links:
                os.makedirs(os.path.join(folder, "snapshot-2", sub), exist_ok=True)
        name = "f%07d.bin" % i
        path = os.path.join(first, name)
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
        os.ftruncate(fd, 1024 * (1 + (i * 7919) % 65536))
        os.close(fd)
        if links:
            os.link(path, os.path.join(folder, "snapshot-2", sub, name))


if __name__ == "__main__":
    main()
