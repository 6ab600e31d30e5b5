#!/usr/bin/env bash
# Figures, not pass or fail. Builds an optimised native copy (no sanitizers)
# in build/bench and measures:
#   - loading a generated server list of 1,000,000 lines, against wc -l;
#   - the size of Veltrano.exe and one check against a loopback time service.
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
    build/bench/bench/serverlist_bench "$1/" >"$work/load.out"
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
awk -v p="$peak_kb" -v b="$base_kb" -v s="$size" 'BEGIN {
    printf "peak memory:    %d MiB, %.2f x the file (process before loading: %d MiB; file %d MiB)\n",
           p / 1024, p * 1024 / s, b / 1024, s / 1048576 }'
# What holding the file costs before any parsing: dd reads it whole into a
# buffer of its size, fresh memory like the loader's.
dd_s=$(best seconds_of dd if="$work/1m/ntp_servers.txt" of=/dev/null bs="$size" count=1 status=none)
awk -v d="$dd_s" -v w="$wc_s" 'BEGIN { printf "dd, one read:   %.4f s (best of 3), %.1f x wc -l\n", d, d / w }'

# Linear growth shows as a constant cost per line across sizes.
echo "scaling:"
for n in 250000 500000; do
    generate "$n" "$work/$n"
    t=$(best load_once "$work/$n")
    awk -v n="$n" -v t="$t" 'BEGIN { printf "  %8d lines: %.4f s, %.0f ns a line\n", n, t, t * 1e9 / n }'
done
awk -v t="$load_s" 'BEGIN { printf "   1000000 lines: %.4f s, %.0f ns a line\n", t, t * 1e9 / 1000000 }'

echo
bash scripts/build.sh windows >/dev/null
# BENCH_EXE and BENCH_TIME_QUERY may name an earlier build's Veltrano.exe and
# time_query.exe, to print its figures beside these.
exe=${BENCH_EXE:-build/windows/bin/Veltrano.exe}
time_query=${BENCH_TIME_QUERY:-build/windows/bench/time_query.exe}
echo "== Veltrano.exe: $(stat -c %s "$exe") bytes"
echo
echo "== one check against the loopback time service (127.0.0.2), 20 runs"
root=$PWD
. scripts/services.sh
services_init
trap 'stop_services; rm -rf "$work"' EXIT
exec 9>/tmp/veltrano-wine-tests.lock
flock 9
start_time_service 127.0.0.2
start_display
start_wine "$root/build/wineprefix-bench"
veltrano=$(wine "$time_query" 127.0.0.2 20 </dev/null 2>/dev/null |
    tr -d '\r' | sed -n 's/^runs .* median_ms //p')
rdate_us=()
for _ in $(seq 1 20); do
    t0=$(date +%s%N)
    rdate -p 127.0.0.2 >/dev/null 2>&1
    t1=$(date +%s%N)
    rdate_us+=($(( (t1 - t0) / 1000 )))
done
rdate_median=$(printf '%s\n' "${rdate_us[@]}" | sort -n | sed -n '10p')
awk -v v="$veltrano" -v r="$rdate_median" 'BEGIN {
    printf "Veltrano run (in-process, under Wine): median %.3f ms\n", v
    printf "rdate -p (a new process each time):   median %.3f ms\n", r / 1000
    printf "ratio Veltrano / rdate: %.2f\n", v / (r / 1000)
}'

program="$work/program"
mkdir -p "$program"
cp "$exe" "$program/Veltrano.exe"
echo "127.0.0.2|127.0.0.2|loopback" >"$program/ntp_servers.txt"
winexe="Z:$(echo "$program/Veltrano.exe" | tr / '\\')"

echo
echo "== start-up, 5 starts"
wine "$root/build/windows/bench/startup_bench.exe" "$winexe" 5 </dev/null 2>/dev/null | tr -d '\r' |
    awk '{ printf "window that answers: median %s ms\npeak working set:    %d KiB\n", $4, $6 }'

echo
echo "== idle: hidden in the tray for 60 s, beside a Wine process of the same prefix that only waits"
cpu_ns() {  # cpu_ns PID: nanoseconds on a processor so far, all its threads
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'
}
unix_pid() {  # unix_pid PATTERN: the Wine process whose command line matches
    local pid="" i
    for i in $(seq 1 100); do pid=$(pgrep -f "$1" | head -1) && [ -n "$pid" ] && break; sleep 0.1; done
    echo "$pid"
}
# Started as autorun starts it, in the tray with the window hidden, and
# synchronising every hour: the costlier of the two ways to wait there.
for value in AutoRun=1 Auto=1 Interval=60; do
    wine reg add 'HKCU\Software\Veltrano\General' /v "${value%=*}" /d "${value#*=}" /f </dev/null >/dev/null 2>&1
done
wine "$program/Veltrano.exe" </dev/null >/dev/null 2>&1 &
wine "$root/build/windows/bench/startup_bench.exe" --idle </dev/null >/dev/null 2>&1 &
app=$(unix_pid 'program.Veltrano\.exe')
idle=$(unix_pid '[s]tartup_bench.exe --idle')
sleep 5  # past start-up
a0=$(cpu_ns "$app") n0=$(cpu_ns "$idle")
sleep 60
a1=$(cpu_ns "$app") n1=$(cpu_ns "$idle")
awk -v a="$((a1 - a0))" -v n="$((n1 - n0))" 'BEGIN {
    printf "Veltrano hidden:    %.3f%% of a core\nidle Wine process:  %.3f%% of a core\n", a / 6e8, n / 6e8
}'
kill "$app" "$idle" 2>/dev/null
