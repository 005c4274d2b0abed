#!/usr/bin/env bash
# Benchmarks orvane-scan against du, gdu and ncdu, and checks its totals
# against du and find. Not a test: it takes minutes and its numbers depend on
# the machine and on whatever else runs on it.
#
#   tools/bench.sh PATH/TO/orvane-scan [--rounds N] [--only LIST] [--sweep]
#
#   --rounds N  interleaved timing rounds per tree (default 7)
#   --only LIST comma-separated subset of: generated,adversarial,usr (default all)
#   --sweep     also time orvane-scan with 1 to 4 threads on each tree
#
# On each tree it also times what the reports cost: the scan without the
# folder tree, the plain scan, the scan writing its JSON and HTML, and that
# with the changes since an earlier report (what the component adds per
# drive: the reports index reads only each report's head, well under a
# millisecond for 20 reports).
#
# The trees are made once under build/bench/ (a reproducible ~500,000 files in
# 50,000 folders, and an adversarial tree) and made again when the generator
# changes. Caches are warm: every tool runs once before the timed rounds.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BENCH="$ROOT/build/bench"
TOOLS="$ROOT/tools"

log() { printf '== %s\n' "$*" >&2; }
die() { printf 'bench: %s\n' "$*" >&2; exit 2; }

[ $# -ge 1 ] || die "usage: tools/bench.sh PATH/TO/orvane-scan [--rounds N] [--only LIST] [--sweep]"
SCAN="$(realpath "$1")"
shift
[ -x "$SCAN" ] || die "$SCAN is not an executable (build it first: ./orvane build)"
ROUNDS=7
ONLY="generated,adversarial,usr"
SWEEP=0
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) ROUNDS="$2"; shift 2 ;;
        --only) ONLY="$2"; shift 2 ;;
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

# time_tools PATH: the four tools on one tree.
time_tools() {
    local path="$1"
    log "timing on $path ($ROUNDS rounds)"
    python3 "$TOOLS/bench_run.py" --rounds "$ROUNDS" --warmup 1 \
        orvane-scan -- "$SCAN" --quiet "$path" \
        "du -s" -- du -s "$path" \
        "gdu" -- gdu --non-interactive --no-progress --summarize "$path" \
        "ncdu" -- ncdu -0 -o /dev/null "$path"
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

sweep_threads() {
    local path="$1" args=() t
    for t in 1 2 3 4; do args+=("$t threads" -- "$SCAN" --quiet --threads "$t" "$path"); done
    log "thread sweep on $path"
    python3 "$TOOLS/bench_run.py" --rounds "$ROUNDS" --warmup 1 "${args[@]}"
}

echo "machine: $(nproc) cores, $(uname -sr), load $(cut -d' ' -f1-3 /proc/loadavg)"
mkdir -p "$BENCH/nothing"
echo "orvane-scan: $SCAN (default threads: $("$SCAN" --quiet "$BENCH/nothing" | sed -n 's/.*, \([0-9]*\) threads\?$/\1/p'))"
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
    if [ "$SWEEP" = 1 ]; then
        echo
        sweep_threads "$tree"
    fi
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
