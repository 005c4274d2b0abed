#!/usr/bin/env bash
# Renders the README's picture of a report: a generated sample tree scanned
# twice (something grows in between, so the changes show), its HTML report
# photographed by headless Chromium.
#
#   tools/report_screenshot.sh PATH/TO/orvane-scan OUT.png
set -euo pipefail
SCAN="$(realpath "$1")"
OUT="$(realpath -m "$2")"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
root="$WORK/Sample"
for i in $(seq 1 9); do
    for j in $(seq 1 6); do
        mkdir -p "$root/Projects/Project $i/Part $j" "$root/Photos/$((2015 + i))/Album $j"
        head -c $((i * j * 40000)) /dev/zero >"$root/Projects/Project $i/Part $j/data.bin"
        head -c $(((10 - i) * j * 90000)) /dev/zero >"$root/Photos/$((2015 + i))/Album $j/photo.jpg"
    done
done
mkdir -p "$root/Music/Album" "$root/Archive/Old/Older" "$root/Videos"
head -c 9000000 /dev/zero >"$root/Archive/Old/Older/backup.zip"
head -c 2500000 /dev/zero >"$root/Music/Album/track.mp3"
cd "$WORK"  # the report then names the tree "Sample", as it would a drive
"$SCAN" --quiet --json before.json Sample >/dev/null
head -c 24000000 /dev/zero >"$root/Videos/holiday.mp4"
rm -r "$root/Photos/2016/Album 6"
"$SCAN" --quiet --compare before.json --html report.html Sample >/dev/null
chromium --headless=new --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$WORK/profile" \
    --hide-scrollbars --window-size=1100,1250 --screenshot="$OUT" \
    "file://$WORK/report.html" 2>/dev/null
echo "$OUT"
