#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer target for the given seconds
# (default 60) from its seed corpus in tests/fuzz/corpus/<target>. What the
# fuzzer finds on the way stays in a temporary folder unless --save-corpus is
# given, which merges the inputs that add coverage into the seed corpus.
# Inputs that break a target are kept in build/fuzz/findings/.
# Exits non-zero when any target has a finding.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=60 save=0
for arg in "$@"; do
    case "$arg" in
        --save-corpus) save=1 ;;
        *) seconds=$arg ;;
    esac
done

work=$(mktemp -d /tmp/veltrano-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
bash scripts/build.sh fuzz >"$work/build.log" 2>&1 || { cat "$work/build.log"; echo "fuzz build failed"; exit 1; }
bin=$root/build/fuzz/tests/fuzz
findings=$root/build/fuzz/findings
mkdir -p "$findings"

status=0
printf '%-12s %12s %6s %7s  %s\n' target executions cov ft findings
for target in reply serverlist request sntp address ntske ntsreply; do
    seeds=$root/tests/fuzz/corpus/$target
    mkdir -p "$work/$target"
    log=$work/$target.log
    # The working corpus comes first: new inputs are written there only.
    "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$work/$target" "$seeds" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    found=none
    if [ "$rc" -ne 0 ]; then
        status=1
        what=$(grep -m1 -E 'property failed|runtime error|ERROR: (AddressSanitizer|libFuzzer)' "$log")
        found="1: ${what:-exit $rc}; input: $(sed -n 's/.*Test unit written to //p' "$log" | tail -1)"
    fi
    printf '%-12s %12s %6s %7s  %s\n' "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$found"
    if [ "$save" -eq 1 ] && [ "$rc" -eq 0 ]; then
        "$bin/fuzz_$target" -merge=1 "$seeds" "$work/$target" >/dev/null 2>&1
    fi
done
exit $status
