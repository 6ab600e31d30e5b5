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
generate() {  # generate LINES FOLDER
    mkdir -p "$2"
    awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++)
        printf "time%d.example.net|192.0.%d.%d|Server number %d, somewhere\r\n", i, (i / 256) % 256, i % 256, i }' \
        >"$2/ntp_servers.txt"
    # Warm the page cache so that every reader starts from memory.
    cat "$2/ntp_servers.txt" >/dev/null
}
seconds_of() {  # seconds_of COMMAND...: wall time of one run
    local s e
    s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N)
    awk -v s="$s" -v e="$e" 'BEGIN { printf "%.4f", e - s }'
}
best() {  # best of three, seconds
    local b="" t
    for _ in 1 2 3; do
        t=$("$@")
        if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
    done
    echo "$b"
}
load_once() {  # load_once FOLDER: seconds inside LoadServerList
    build/bench/tests/serverlist/serverlist_bench "$1/" >"$work/load.out"
    awk '$1 == "seconds" { print $2 }' "$work/load.out"
}

generate 1000000 "$work/1m"
size=$(stat -c %s "$work/1m/ntp_servers.txt")
wc_s=$(best seconds_of wc -l "$work/1m/ntp_servers.txt")
load_s=$(best load_once "$work/1m")
peak_kb=$(awk '$1 == "peak_kb" { print $2 }' "$work/load.out")
base_kb=$(awk '$1 == "baseline_kb" { print $2 }' "$work/load.out")
entries=$(awk '$1 == "entries" { print $2 }' "$work/load.out")
echo "file:           $size bytes, $entries entries loaded"
echo "LoadServerList: ${load_s} s (best of 3)"
echo "wc -l:          ${wc_s} s (best of 3)"
awk -v l="$load_s" -v w="$wc_s" 'BEGIN { printf "ratio:          %.1f x wc -l\n", l / w }'
echo "peak memory:    $((peak_kb / 1024)) MiB (process before loading: $((base_kb / 1024)) MiB; file $((size / 1048576)) MiB)"

# Linear growth shows as a constant cost per line across sizes.
echo "scaling:"
for n in 250000 500000; do
    generate "$n" "$work/$n"
    t=$(best load_once "$work/$n")
    awk -v n="$n" -v t="$t" 'BEGIN { printf "  %8d lines: %.4f s, %.0f ns a line\n", n, t, t * 1e9 / n }'
done
awk -v t="$load_s" 'BEGIN { printf "   1000000 lines: %.4f s, %.0f ns a line\n", t, t * 1e9 / 1000000 }'
