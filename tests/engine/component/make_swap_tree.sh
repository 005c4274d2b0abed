#!/bin/sh
# Prepares, on the Linux side, the test that swaps a folder for a Linux link
# between its listing and its opening, which Wine cannot do itself (it
# neither makes such links nor moves them): "sub" is a folder, and a watcher
# left running replaces it with a link to the top of the tree once the test
# has listed it ("listed" appears), then says so ("swapped").
# Usage: make_swap_tree.sh DIR
set -eu
dir="$1"
rm -rf "$dir"
mkdir -p "$dir/sub"
echo x >"$dir/sub/f.txt"
(
    i=0
    while [ $i -lt 1200 ] && [ ! -e "$dir/listed" ]; do
        sleep 0.1
        i=$((i + 1))
    done
    [ -e "$dir/listed" ] || exit 0
    mv "$dir/sub" "$dir/sub-moved"
    ln -s "$dir" "$dir/sub"
    touch "$dir/swapped"
) </dev/null >/dev/null 2>&1 &
