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

# The loopback addresses are fixed, so two runs on one machine take turns.
exec 9>/tmp/veltrano-wine-tests.lock
flock 9

echo "== starting loopback servers, display and Wine"
start_time_service 127.0.0.2 || status=1
# "localhost" names 127.0.0.1: the tests of name lookup need a time service
# there, and the one that the run command starts serves as well.
wait_for_time_service 127.0.0.1 1 2>/dev/null || start_time_service 127.0.0.1 || status=1
fixtures_log="$service_dir/fixtures.log"
"$root/build/linux/tests/fixtures/loopback_servers" --lifetime 3600 \
    127.0.0.3=blackhole 127.0.0.4=hold 127.0.0.5=drip 127.0.0.6=flood 127.0.0.7=five 127.0.0.8=spaced ::1=time \
    127.0.0.10=silent 127.0.0.11=late 127.0.0.12=blankend 127.0.0.13=bytes:A0A98440 127.0.0.14=bytes:00000010 \
    </dev/null >"$fixtures_log" 2>&1 &
service_pids+=($!)
for _ in $(seq 1 100); do grep -q ready "$fixtures_log" && break; sleep 0.05; done
grep -q ready "$fixtures_log" || { cat "$fixtures_log"; status=1; }
start_display || status=1
start_wine "$root/build/wineprefix" || status=1

# A name with two addresses, the first black-holed, seen only by the tests:
# their own view of /etc/hosts, in a mount namespace of their own.
hosts="$service_dir/hosts"
{ cat /etc/hosts; echo "127.0.0.3 blackholed-first.veltrano.test"; echo "127.0.0.2 blackholed-first.veltrano.test"; } >"$hosts"
with_hosts=()
unshare -m true 2>/dev/null && with_hosts=(unshare -m sh -c 'mount --bind "$0" /etc/hosts && exec "$@"' "$hosts")

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
