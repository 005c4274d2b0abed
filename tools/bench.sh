#!/usr/bin/env bash
# Benchmarks orvane-scan against du, gdu and ncdu, and checks its totals
# against du and find. Not a test: it takes minutes and its numbers depend on
# the machine and on whatever else runs on it.
#
#   tools/bench.sh PATH/TO/orvane-scan [--rounds N] [--cold-rounds N] [--only LIST]
#                  [--sweep] [--slow-device] [--cancel-timing PATH/TO/engine_cancel_timing.exe]
#
#   --rounds N       interleaved warm timing rounds per tree (default 7)
#   --cold-rounds N  interleaved cold timing rounds per tree (default 5)
#   --only LIST      comma-separated subset of: generated,adversarial,usr,file-table
#                    (default all)
#   --table-files N  files on the file table's volume (default 1000000)
#   --sweep          also time orvane-scan with 1 to 32 threads on each tree, warm and cold
#   --slow-device    also sweep the thread count on a throttled, slow device
#   --cancel-timing  the component's measuring program for the cancel timing
#                    (default: build/win/bin/engine_cancel_timing.exe)
#
# On each tree it also times what the reports cost: the scan without the
# folder tree, the plain scan, the scan writing its JSON and HTML, and that
# with the changes since an earlier report (what the component adds per
# drive: the reports index reads only each report's head, well under a
# millisecond for 20 reports).
#
# The trees are made once under build/bench/ (a reproducible ~500,000 files in
# 50,000 folders, and an adversarial tree) and made again when the generator
# changes. Warm runs come after every tool has run once. Cold runs (on /usr and
# the generated tree) drop the page cache before every run, which needs root.
# On /usr they also time how soon a cancel ends a cold scan: SIGINT to
# orvane-scan, and Cancel to the component's AnalyzeDrive under Wine; on the
# file table's volume, SIGINT to orvane-scan while it reads the table.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BENCH="$ROOT/build/bench"
TOOLS="$ROOT/tools"

log() { printf '== %s\n' "$*" >&2; }
die() { printf 'bench: %s\n' "$*" >&2; exit 2; }

[ $# -ge 1 ] || die "usage: tools/bench.sh PATH/TO/orvane-scan [--rounds N] [--cold-rounds N] [--only LIST] [--sweep] [--slow-device]"
SCAN="$(realpath "$1")"
shift
[ -x "$SCAN" ] || die "$SCAN is not an executable (build it first: ./orvane build)"
ROUNDS=7
ONLY="generated,adversarial,usr,file-table"
TABLE_FILES=1000000
SWEEP=0
COLD_ROUNDS=5
SLOW_DEVICE=0
CANCEL_TIMING="$ROOT/build/win/bin/engine_cancel_timing.exe"
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) ROUNDS="$2"; shift 2 ;;
        --cold-rounds) COLD_ROUNDS="$2"; shift 2 ;;
        --slow-device) SLOW_DEVICE=1; shift ;;
        --cancel-timing) CANCEL_TIMING="$2"; shift 2 ;;
        --only) ONLY="$2"; shift 2 ;;
        --table-files) TABLE_FILES="$2"; shift 2 ;;
        --sweep) SWEEP=1; shift ;;
        *) die "unknown option $1" ;;
    esac
done
wanted() { [[ ",$ONLY," == *",$1,"* ]]; }

need_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    log "installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}
need_packages gdu ncdu time python3 util-linux findutils coreutils

# Root reads any folder whatever its permission bits; without the two
# overrides it meets them like a user, so the adversarial tree's locked folder
# is unreadable for every tool alike.
AS_USER=()
if [ "$(id -u)" = 0 ]; then
    AS_USER=(setpriv --inh-caps=-dac_override,-dac_read_search
             --bounding-set=-dac_override,-dac_read_search)
fi

# make_tree KIND: builds build/bench/KIND unless it is there from the same generator.
make_tree() {
    local kind="$1" dir="$BENCH/$1"
    local stamp
    stamp="$(sha256sum "$TOOLS/bench_tree.py" | cut -c1-16)-$kind"
    if [ -f "$BENCH/$kind.stamp" ] && [ "$(cat "$BENCH/$kind.stamp")" = "$stamp" ] && [ -d "$dir" ]; then
        return
    fi
    log "making the $kind tree in $dir (once)"
    if [ -d "$dir" ]; then
        chmod -R u+rwx "$dir" 2>/dev/null || true
        rm -rf "$dir"
    fi
    rm -f "$BENCH/$kind.stamp"
    mkdir -p "$BENCH"
    python3 "$TOOLS/bench_tree.py" "$kind" "$dir"
    echo "$stamp" >"$BENCH/$kind.stamp"
}

# check_exact PATH: orvane-scan's totals against du and find, all run alike.
check_exact() {
    local path="$1" report="$BENCH/report.json"
    "${AS_USER[@]}" "$SCAN" --quiet --json "$report" "$path" >/dev/null
    local du_alloc du_apparent entries
    du_alloc="$("${AS_USER[@]}" du -sB1 -x "$path" 2>/dev/null | cut -f1)" || true
    du_apparent="$("${AS_USER[@]}" du -sB1 -x --apparent-size "$path" 2>/dev/null | cut -f1)" || true
    # One character per entry: names may hold newlines, so lines would not do.
    entries="$("${AS_USER[@]}" find "$path" -xdev -printf x 2>/dev/null | wc -c)" || true
    python3 - "$report" "$du_alloc" "$du_apparent" "$entries" "$path" <<'PY'
import json, sys
report, du_alloc, du_apparent, entries, path = sys.argv[1:]
totals = json.load(open(report))["totals"]
rows = [("allocated_bytes", totals["allocated_bytes"], int(du_alloc), "du -sB1 -x"),
        ("apparent_bytes", totals["apparent_bytes"], int(du_apparent), "du -sB1 -x --apparent-size"),
        ("files + folders", totals["files"] + totals["folders"], int(entries), "find -xdev")]
print("exactness on %s (unreadable folders: %d)" % (path, totals["unreadable_folders"]))
bad = 0
for name, ours, theirs, tool in rows:
    ok = ours == theirs
    bad += not ok
    print("  %-16s %16d  %-27s %16d  %s" % (name, ours, tool, theirs, "same" if ok else "DIFFERENT"))
sys.exit(1 if bad else 0)
PY
}

# tool_args PATH: the four tools on one tree, as bench_run.py takes them.
tool_args() {
    local path="$1"
    TOOL_ARGS=(orvane-scan -- "$SCAN" --quiet "$path"
               "du -s" -- du -s "$path"
               "gdu" -- gdu --non-interactive --no-progress --summarize "$path"
               "ncdu" -- ncdu -0 -o /dev/null "$path")
}

# saved_table PATH KIND: where a tree's medians are kept for the side-by-side table.
saved_table() { printf '%s/%s.%s.json' "$BENCH" "$(basename "$1")" "$2"; }

# time_tools PATH: the four tools on one tree.
time_tools() {
    local path="$1"
    log "timing on $path ($ROUNDS rounds)"
    tool_args "$path"
    python3 "$TOOLS/bench_run.py" --rounds "$ROUNDS" --warmup 1 \
        --save "$(saved_table "$path" warm)" "${TOOL_ARGS[@]}"
}

# time_reports PATH: the folder tree and the report files against a bare scan.
time_reports() {
    local path="$1"
    log "report writing on $path ($ROUNDS rounds)"
    "${AS_USER[@]}" "$SCAN" --quiet --json "$BENCH/bench-before.json" "$path" >/dev/null
    python3 "$TOOLS/bench_run.py" --rounds "$ROUNDS" --warmup 1 \
        "scan, no tree" -- "$SCAN" --quiet --tree 0 "$path" \
        "scan" -- "$SCAN" --quiet "$path" \
        "scan + JSON + HTML" -- "$SCAN" --quiet --json "$BENCH/bench-report.json" \
            --html "$BENCH/bench-report.html" "$path" \
        "... + compare" -- "$SCAN" --quiet --json "$BENCH/bench-report.json" \
            --html "$BENCH/bench-report.html" --compare "$BENCH/bench-before.json" "$path"
    echo "report files: $(stat -c %s "$BENCH/bench-report.json") bytes of JSON," \
         "$(stat -c %s "$BENCH/bench-report.html") bytes of HTML"
}

THREAD_SWEEP=(1 2 4 8 16 32)

# sweep_threads PATH [bench_run.py options]: orvane-scan with each thread count.
sweep_threads() {
    local path="$1" args=() t
    shift
    for t in "${THREAD_SWEEP[@]}"; do
        args+=("$t threads" -- "$SCAN" --quiet --threads "$t" "$path")
    done
    log "thread sweep on $path $*"
    python3 "$TOOLS/bench_run.py" --rounds "$ROUNDS" --warmup 1 "$@" "${args[@]}"
}

# --- Cold-cache runs ---------------------------------------------------------
# The first scan of a drive finds none of its metadata in memory, and that is
# the one people wait for. Every cold run starts after sync and a drop of the
# page cache, dentries and inodes; the tools still take turns, so a burst of
# load hits all of them alike.

may_drop_caches() { [ "$(id -u)" = 0 ] && [ -w /proc/sys/vm/drop_caches ]; }

# cold_tree PATH: the trees timed cold (the adversarial one is about odd
# names and shapes, not about the device).
cold_tree() { [ "$1" = /usr ] || [ "$1" = "$BENCH/generated" ]; }

# time_tools_cold PATH: the four tools cold, then warm and cold side by side.
time_tools_cold() {
    local path="$1"
    log "timing cold on $path ($COLD_ROUNDS rounds)"
    tool_args "$path"
    python3 "$TOOLS/bench_run.py" --cold --rounds "$COLD_ROUNDS" --warmup 0 \
        --save "$(saved_table "$path" cold)" "${TOOL_ARGS[@]}"
    echo
    echo "warm and cold on $path"
    python3 "$TOOLS/bench_run.py" --side-by-side \
        "$(saved_table "$path" warm)" "$(saved_table "$path" cold)"
}

# --- Cancel during a cold scan ----------------------------------------------
# A cancel promises to end the scan within 200 ms, and a cold scan is where
# workers wait longest on the device. Both are timed from the cancel on,
# after a few delays, caches dropped before every round.
CANCEL_DELAYS=100,300,600
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

time_cancel_cold() {
    log "timing SIGINT during cold scans of /usr ($COLD_ROUNDS rounds)"
    python3 "$TOOLS/bench_cancel.py" --cold --rounds "$COLD_ROUNDS" --delays "$CANCEL_DELAYS" \
        signal "orvane-scan /usr" -- "$SCAN" --quiet /usr
    echo
    time_component_cancel_cold
}

# The component under Wine, in a prefix of the benchmark's own; the measuring
# program maps a drive letter onto /usr (through Wine's Z:) while it runs.
time_component_cancel_cold() {
    local tool dll prefix
    tool="$(realpath -m "$CANCEL_TIMING")"
    dll="$(dirname "$tool")/AnalysisEngine.dll"
    if [ ! -x "$WINE" ] || [ ! -f "$tool" ] || [ ! -f "$dll" ]; then
        echo "component cancel timing skipped: it needs Wine and $tool beside AnalysisEngine.dll (./orvane bench builds them)"
        return
    fi
    prefix="$("$ROOT/orvane" __bench-prefix)"
    log "timing Cancel during cold scans of /usr by the component under Wine ($COLD_ROUNDS rounds)"
    # Wine starts before the first round and stays up between the rounds.
    WINEPREFIX="$prefix" "$WINESERVER" -p 2>/dev/null || true  # or already up
    WINEPREFIX="$prefix" "$WINE" wineboot >/dev/null 2>&1 || true
    local status=0
    WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        python3 "$TOOLS/bench_cancel.py" --cold --rounds "$COLD_ROUNDS" --delays "$CANCEL_DELAYS" \
        component "AnalyzeDrive (Wine) /usr" -- "$WINE" "$tool" 'Z:\usr' || status=$?
    WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true
    return "$status"
}

# --- A slow device -----------------------------------------------------------
# Many requests in flight keep a fast device busy; on a slow one they must at
# least not slow it down. The block layer's throttle (cgroup v1 blkio) turns
# this machine's disk into one that serves SLOW_IOPS reads a second, about what
# a spinning disk manages, for the processes in one control group. The tree is
# small enough for that speed and present on any Debian system.
SLOW_IOPS=300
SLOW_TREE=/usr/share/doc
SLOW_GROUP=/sys/fs/cgroup/blkio/orvane-bench-slow

# slow_group_ready: the throttled control group exists, or it says why not.
slow_group_ready() {
    local device
    device="$(findmnt -no MAJ:MIN -T "$SLOW_TREE" | tr -d ' ')"
    if [ -z "$device" ] || [ ! -d "${SLOW_GROUP%/*}" ] || ! mkdir -p "$SLOW_GROUP" 2>/dev/null ||
        ! echo "$device $SLOW_IOPS" >"$SLOW_GROUP/blkio.throttle.read_iops_device" 2>/dev/null; then
        echo "slow-device sweep skipped: it needs root and cgroup v1 blkio throttling of $SLOW_TREE's device"
        return 1
    fi
}

sweep_slow_device() {
    may_drop_caches || { echo "slow-device sweep skipped: it needs cold runs"; return; }
    slow_group_ready || return 0
    trap 'rmdir "$SLOW_GROUP" 2>/dev/null || true' EXIT
    local args=() t
    for t in "${THREAD_SWEEP[@]}"; do
        # The shell joins the group, then becomes the scanner.
        args+=("$t threads" -- bash -c 'echo $$ >"$0/cgroup.procs" && exec "$@"'
               "$SLOW_GROUP" "$SCAN" --quiet --threads "$t" "$SLOW_TREE")
    done
    log "cold thread sweep on $SLOW_TREE, device throttled to $SLOW_IOPS reads a second"
    echo "cold, on a device throttled to $SLOW_IOPS reads a second: $SLOW_TREE"
    python3 "$TOOLS/bench_run.py" --cold --rounds 3 --warmup 0 "${args[@]}"
}

# --- The file table ---------------------------------------------------------
#
# One volume made once: TABLE_FILES empty files, 1,000 to a folder, as an
# NTFS image (made by ntfs-3g's library) and as the same tree on this
# machine's own file system. orvane-scan reads the image's file table; du and
# gdu walk the tree. The physical limit is reading the table's bytes alone,
# the pieces record 0 lists in the order they lie on the volume (a table
# made by adding files grows in pieces across the volume).

TABLE_TOOL="$ROOT/build/native/bin/ntfs_image_tool"

make_table_volume() {
    local image="$BENCH/table-$TABLE_FILES.img" tree="$BENCH/table-$TABLE_FILES"
    if [ ! -f "$image" ]; then
        log "making an NTFS image of $TABLE_FILES files in $image (once)"
        rm -f "$image.partial"
        truncate -s $(((TABLE_FILES / 1000 + 64) * 2))M "$image.partial"
        /usr/sbin/mkntfs -F -f -q "$image.partial" >/dev/null 2>&1
        "$TABLE_TOOL" many "$image.partial" "$TABLE_FILES" 1
        mv "$image.partial" "$image"
    fi
    if [ ! -f "$tree.done" ]; then
        log "making the same tree in $tree (once)"
        rm -rf "$tree"
        python3 - "$tree" "$TABLE_FILES" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for folder in range((count + 999) // 1000):
    path = os.path.join(root, "d%05d" % folder)
    os.makedirs(path)
    for i in range(folder * 1000, min(count, folder * 1000 + 1000)):
        open(os.path.join(path, "file-%07d.dat" % i), "wb").close()
PY
        touch "$tree.done"
    fi
    TABLE_IMAGE="$image"
    TABLE_TREE="$tree"
}

bench_file_table() {
    make_table_volume
    local pieces
    pieces="$(python3 "$TOOLS/read_table_extents.py" --list "$TABLE_IMAGE")"
    echo "file table: $TABLE_FILES files; the table is" \
         "$(awk '{ s += $2 } END { print s }' <<<"$pieces") bytes in $(wc -l <<<"$pieces") pieces of $TABLE_IMAGE"
    "$SCAN" --quiet --method file-table --json "$BENCH/table.json" "$TABLE_IMAGE" >/dev/null
    python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); print("  entries %d, records in use %d, ledger remainder %d" % (r["totals"]["entries"], r["file_table"]["records_in_use"], r["ledger"]["remainder_bytes"]))' "$BENCH/table.json"
    local args=(orvane-scan -- "$SCAN" --quiet --method file-table "$TABLE_IMAGE"
                "du -s" -- du -s "$TABLE_TREE"
                "gdu" -- gdu --non-interactive --no-progress --summarize "$TABLE_TREE"
                "table bytes" -- python3 "$TOOLS/read_table_extents.py" "$TABLE_IMAGE")
    log "timing the file table ($ROUNDS rounds)"
    python3 "$TOOLS/bench_run.py" --rounds "$ROUNDS" --warmup 1 \
        --save "$BENCH/table.warm.json" "${args[@]}"
    if may_drop_caches; then
        echo
        log "timing the file table cold ($COLD_ROUNDS rounds)"
        python3 "$TOOLS/bench_run.py" --cold --rounds "$COLD_ROUNDS" --warmup 0 \
            --save "$BENCH/table.cold.json" "${args[@]}"
        echo
        echo "warm and cold, file table against walks of the same tree"
        python3 "$TOOLS/bench_run.py" --side-by-side "$BENCH/table.warm.json" "$BENCH/table.cold.json"
        echo
        # Delays that land in the reading of the records, at its end (the
        # settling) and in the scan of the table that follows.
        log "timing SIGINT while the file table is read cold ($COLD_ROUNDS rounds)"
        python3 "$TOOLS/bench_cancel.py" --cold --rounds "$COLD_ROUNDS" --delays 100,300,600,900 \
            signal "orvane-scan, file table" -- "$SCAN" --quiet --method file-table "$TABLE_IMAGE"
    fi
    python3 -c 'import json,sys; rows={r["label"]: r for r in json.load(open(sys.argv[1]))}; t=rows["orvane-scan"]["wall"]; print("  records/s, warm: %.0f" % (int(sys.argv[2]) / t))' "$BENCH/table.warm.json" "$TABLE_FILES" 2>/dev/null || true
}

echo "machine: $(nproc) cores, $(uname -sr), load $(cut -d' ' -f1-3 /proc/loadavg)"
may_drop_caches || echo "cold-cache runs skipped: dropping the page cache needs root and a writable /proc/sys/vm/drop_caches"
mkdir -p "$BENCH"  # the reports and saved tables, even when no tree is made
echo "orvane-scan: $SCAN (default workers: one per core, more while they wait on the device)"
status=0
trees=()
wanted generated && make_tree generated && trees+=("$BENCH/generated")
wanted adversarial && make_tree adversarial && trees+=("$BENCH/adversarial")
wanted usr && trees+=(/usr)
for tree in "${trees[@]}"; do
    echo
    check_exact "$tree" || status=1
    echo
    time_tools "$tree"
    echo
    time_reports "$tree"
    if may_drop_caches && cold_tree "$tree"; then
        echo
        time_tools_cold "$tree"
        if [ "$tree" = /usr ]; then
            echo
            time_cancel_cold
        fi
    fi
    if [ "$tree" = /usr ] && ! may_drop_caches; then
        echo
        echo "cancel timing skipped: it needs cold runs"
    fi
    if [ "$SWEEP" = 1 ]; then
        echo
        sweep_threads "$tree"
        if may_drop_caches && cold_tree "$tree"; then
            echo
            ROUNDS="$COLD_ROUNDS" sweep_threads "$tree" --cold --warmup 0
        fi
    fi
done
if wanted file-table; then
    echo
    bench_file_table
fi
if [ "$SLOW_DEVICE" = 1 ]; then
    echo
    sweep_slow_device
fi
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
