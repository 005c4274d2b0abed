#!/bin/sh
# Builds, on the Linux side, the tree the component tests reach through
# Wine's Z: drive: creating 20,000 files through Wine takes minutes, here
# it takes a fraction of a second. Usage: make_big_tree.sh DIR
set -eu
dir="$1"
rm -rf "$dir"
mkdir -p "$dir/crowd"
cd "$dir/crowd"
seq 1 20000 | sed 's/^/f/' | xargs touch
cd "$dir"
i=0
while [ $i -lt 200 ]; do
    mkdir -p "spread/$((i % 20))/$i"
    printf '%0100d' 0 >"spread/$((i % 20))/$i/x.txt"
    i=$((i + 1))
done
