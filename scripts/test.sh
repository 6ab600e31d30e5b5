#!/usr/bin/env bash
# Every test: native logic under the sanitizers, then the Windows build under
# Wine against real loopback time servers. Installs what is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh || exit 1
bash scripts/build.sh linux windows || { echo "build failed"; exit 1; }

. scripts/services.sh
services_init

results=()
status=0
record() {  # record NAME EXIT-CODE
    if [ "$2" -eq 0 ]; then results+=("PASS  $1"); else results+=("FAIL  $1"); status=1; fi
}

echo "== native tests"
ctest --preset linux --output-on-failure --timeout 120
record "native (linux preset)" $?

echo "== fuzzing (about 20 s a target)"
bash scripts/fuzz.sh 20
record "fuzzing" $?

# The setup that the Windows tests install, and the portable zip.
echo "== release (scripts/package.sh)"
bash scripts/package.sh
record "release packages" $?

# The loopback addresses are fixed, so two runs on one machine take turns.
exec 9>/tmp/veltrano-wine-tests.lock
flock 9

echo "== starting loopback servers, display and Wine"
start_test_services "$root" "$root/build/wineprefix" || status=1

echo "== Windows tests under Wine"
"${with_hosts[@]}" ctest --preset windows --output-on-failure --timeout 300
record "windows (under Wine)" $?

stop_services
flock -u 9
echo
echo "== summary"
printf '%s\n' "${results[@]}"
passed=$(printf '%s\n' "${results[@]}" | grep -c '^PASS')
failed=$(printf '%s\n' "${results[@]}" | grep -c '^FAIL')
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "suites: $passed passed, $failed failed"
exit $status
