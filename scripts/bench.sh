#!/usr/bin/env bash
# Figures, not pass or fail. Builds an optimised native copy (no sanitizers)
# in build/bench and measures:
#   - loading a generated server list of 1,000,000 lines, against wc -l.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANO_SANITIZE=OFF >/dev/null
cmake --build build/bench --target serverlist_bench >/dev/null

work=$(mktemp -d /tmp/veltrano-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== server list: 1,000,000 lines"
lines=1000000
awk -v n=$lines 'BEGIN { ORS = "\r\n";
    for (i = 0; i < n; i++) printf "time%d.example.net|192.0.%d.%d|Server number %d, somewhere%s", i, (i / 256) % 256, i % 256, i, ORS }' \
    >"$work/ntp_servers.txt"
size=$(stat -c %s "$work/ntp_servers.txt")
echo "file: $size bytes"

# Warm the page cache so that both sides read from memory.
cat "$work/ntp_servers.txt" >/dev/null
best() {  # best of three, seconds
    local b="" t
    for _ in 1 2 3; do
        t=$("$@")
        if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
    done
    echo "$b"
}
wc_once() {
    local s e
    s=$(date +%s.%N); wc -l "$work/ntp_servers.txt" >/dev/null; e=$(date +%s.%N)
    awk -v s="$s" -v e="$e" 'BEGIN { printf "%.4f", e - s }'
}
load_once() {
    build/bench/tests/serverlist/serverlist_bench "$work/" >"$work/load.out"
    awk '$1 == "seconds" { print $2 }' "$work/load.out"
}
wc_s=$(best wc_once)
load_s=$(best load_once)
peak_kb=$(awk '$1 == "peak_kb" { print $2 }' "$work/load.out")
base_kb=$(awk '$1 == "baseline_kb" { print $2 }' "$work/load.out")
entries=$(awk '$1 == "entries" { print $2 }' "$work/load.out")
echo "entries loaded: $entries"
echo "LoadServerList: ${load_s} s (best of 3)"
echo "wc -l:          ${wc_s} s (best of 3)"
awk -v l="$load_s" -v w="$wc_s" 'BEGIN { printf "ratio:          %.1f x wc -l\n", l / w }'
echo "peak memory:    $((peak_kb / 1024)) MiB (process before loading: $((base_kb / 1024)) MiB; file $((size / 1048576)) MiB)"
