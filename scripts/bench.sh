#!/usr/bin/env bash
# Prints figures; nothing here passes or fails.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh || exit 1
bash scripts/build.sh linux windows >/dev/null || { echo "build failed"; exit 1; }

. scripts/services.sh
services_init
exec 9>/tmp/veltrano-wine-tests.lock
flock 9
start_time_service 127.0.0.2 || exit 1
start_display || exit 1
start_wine "$root/build/wineprefix-bench" || exit 1

echo "== one check against the loopback time service (127.0.0.2), 20 runs"
veltrano=$(wine "$root/build/windows/tests/platform/time_query.exe" 127.0.0.2 20 </dev/null 2>/dev/null |
    tr -d '\r' | sed -n 's/^runs .* median_ms //p')
rdate_ms=()
for _ in $(seq 1 20); do
    t0=$(date +%s%N)
    rdate -p 127.0.0.2 >/dev/null 2>&1
    t1=$(date +%s%N)
    rdate_ms+=($(( (t1 - t0) / 1000 )))
done
rdate_median=$(printf '%s\n' "${rdate_ms[@]}" | sort -n | sed -n '10p')
awk -v v="$veltrano" -v r="$rdate_median" 'BEGIN {
    printf "Veltrano run (in-process, under Wine): median %.3f ms\n", v
    printf "rdate -p (a new process each time):   median %.3f ms\n", r / 1000
    printf "ratio Veltrano / rdate: %.2f\n", v / (r / 1000)
}'
