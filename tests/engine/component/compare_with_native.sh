#!/bin/sh
# Compares the component's totals under Wine with the native orvane-scan's on
# one tree made here on the Linux side: hard links, a sparse file, a name
# that is not UTF-8, paths beyond 300 characters, empty folders. Links to
# files and folders are left out: Wine shows them differently by design
# (docs/engine-windows.md). Exits 77 (skipped) without a native scanner.
# Usage: compare_with_native.sh NATIVE_ORVANE_SCAN TEST_EXE
set -eu
native="$1"
tests="$2"
[ -x "$native" ] || { echo "no native orvane-scan at $native: skipped"; exit 77; }

tree="$(mktemp -d /tmp/orvane-engine-compare.XXXXXX)"
trap 'rm -rf "$tree"' EXIT
cd "$tree"
mkdir -p a/b/c empty/inner "$(printf 'dossier-\351t\351')"
head -c 100000 /dev/zero >a/data.bin
ln a/data.bin a/b/second-name.bin
ln a/data.bin third-name.bin
truncate -s 10M a/sparse.img
printf 'latin-1 name' >"a/b/c/$(printf 'caf\351')"
printf 'inside' >"$(printf 'dossier-\351t\351')/note.txt"
deep="$tree"
for part in one two three four; do
    deep="$deep/$(printf "$part%.0s" $(seq 1 20))"
done
mkdir -p "$deep"
printf 'deep' >"$deep/leaf.txt"
seq 1 300 | sed 's/^/n/' | (cd a/b && xargs touch)

"$native" --quiet --json "$tree.json" "$tree" >/dev/null
trap 'rm -rf "$tree" "$tree.json"' EXIT
# Folders' own sizes: Linux gives them blocks, Wine's listings give 0.
folder_bytes="$(find "$tree" -type d -printf '%b %s\n' |
    awk '{ a += $1 * 512; s += $2 } END { printf "%d %d", a, s }')"

status=0
ORVANE_ENGINE_COMPARE_TREE="Z:$(echo "$tree" | tr / '\\')" \
ORVANE_ENGINE_COMPARE_NATIVE="Z:$(echo "$tree.json" | tr / '\\')" \
ORVANE_ENGINE_COMPARE_FOLDER_BYTES="$folder_bytes" \
    "${WINE:-/usr/lib/wine/wine64}" "$tests" --gtest_filter='*NativeTool*' >"$tree.out" 2>&1 || status=$?
cat "$tree.out"
# A filter that matches nothing, or a skip, passes in GoogleTest: insist on the run.
grep -q '^\[       OK \] AnalysisEngineTest.TotalsMatchTheNativeToolOnTheSameTree' "$tree.out" || status=1
rm -f "$tree.out"
exit "$status"
