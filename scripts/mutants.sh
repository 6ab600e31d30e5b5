#!/usr/bin/env bash
# Measures how many believable faults the tests catch. Each mutant of
# tests/mutants.txt is applied to the work tree alone, the preset its tests
# need is rebuilt, only those tests run, and the file is put back. Not run by
# test.sh or CI: it takes the better part of an hour.
#
#   bash scripts/mutants.sh [--native-only] [--no-baseline] [--list FILE] [--only ID...]
#
# A mutant is caught when a covering test fails, missed when they all pass,
# stale when its original text is no longer found exactly once (the list
# needs updating), build-broken when it does not compile (a poor mutant:
# replace it). Logs of each go to build/mutants/ID.log.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

list=tests/mutants.txt
native_only=0
baseline=1
only=()
while (($#)); do
    case $1 in
    --native-only) native_only=1 ;;
    --no-baseline) baseline=0 ;;
    --list) list=$2; shift ;;
    --only)
        while (($# > 1)) && [[ $2 != --* ]]; do only+=("$2"); shift; done
        ((${#only[@]})) || { echo "mutants: --only needs at least one id" >&2; exit 2; }
        ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "mutants: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

# The list: ID, group (native or wine), ctest regex, file, original text,
# replacement, separated by tabs; '#' starts a comment line.
ids=() groups=() regexes=() files=() froms=() tos=()
declare -A seen=()
n=0
while IFS= read -r line || [ -n "$line" ]; do
    ((++n))
    [[ -z ${line//[[:space:]]/} || $line == \#* ]] && continue
    IFS=$'\t' read -r -a f <<<"$line"
    # A deletion leaves the replacement empty; read drops that last field.
    ((${#f[@]} == 5)) && [[ $line == *$'\t' ]] && f+=("")
    if ((${#f[@]} != 6)) || [[ ${f[1]} != native && ${f[1]} != wine ]] || [[ ${f[4]} == "${f[5]}" ]]; then
        echo "mutants: $list:$n: expected ID, native|wine, regex, file, original, replacement (tabs between)" >&2
        exit 2
    fi
    [ -z "${seen[${f[0]}]:-}" ] || { echo "mutants: $list:$n: id ${f[0]} used twice" >&2; exit 2; }
    seen[${f[0]}]=1
    ids+=("${f[0]}") groups+=("${f[1]}") regexes+=("${f[2]}") files+=("${f[3]}") froms+=("${f[4]}") tos+=("${f[5]}")
done <"$list"

for id in "${only[@]}"; do
    [ -n "${seen[$id]:-}" ] || { echo "mutants: no mutant $id in $list" >&2; exit 2; }
done
selected() {  # selected INDEX
    local i=$1 id
    [ "$native_only" -eq 1 ] && [ "${groups[$i]}" = wine ] && return 1
    ((${#only[@]})) || return 0
    for id in "${only[@]}"; do [ "$id" = "${ids[$i]}" ] && return 0; done
    return 1
}
native=() wine=()
for i in "${!ids[@]}"; do
    selected "$i" || continue
    if [ "${groups[$i]}" = native ]; then native+=("$i"); else wine+=("$i"); fi
done
echo "mutants: ${#native[@]} native and ${#wine[@]} under Wine, from $list"
((${#native[@]} + ${#wine[@]})) || exit 0

logs="$root/build/mutants"
mkdir -p "$logs"
started=$(date +%s)

# Only one file is ever changed, and it always goes back, whatever ends the run.
backup=$(mktemp /tmp/veltrano-mutant.XXXXXX)
mutated=""
restore() {
    [ -n "$mutated" ] || return 0
    # Rewritten rather than moved back, so its time is newer than the
    # mutant's objects and the next build compiles it again.
    cat "$backup" >"$mutated"
    mutated=""
}
services_up=0
cleanup() {
    restore
    rm -f "$backup"
    [ "$services_up" -eq 1 ] && stop_services
    if [ -n "${dirty_build:-}" ]; then
        echo "mutants: stopped early; build/ may hold a mutant's binaries: run scripts/build.sh before testing" >&2
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# mutate FILE ORIGINAL REPLACEMENT: 0 when applied, 3 when the original is
# missing, 4 when it occurs more than once.
mutate() {
    MUT_FILE=$1 MUT_FROM=$2 MUT_TO=$3 python3 -c '
import os, sys
path, old, new = os.environ["MUT_FILE"], os.environ["MUT_FROM"], os.environ["MUT_TO"]
with open(path, encoding="utf-8", newline="") as f:
    text = f.read()
count = text.count(old)
if count != 1:
    sys.exit(3 if count == 0 else 4)
with open(path, "w", encoding="utf-8", newline="") as f:
    f.write(text.replace(old, new))
'
}

caught=0 missed=0 stale=0 broken=0
missed_lines=()
report() {  # report INDEX VERDICT SECONDS [NOTE]
    local i=$1 verdict=$2 secs=$3 note=${4:-}
    printf '%-12s %-5s %-34s %4ss  %s\n' "$verdict" "${ids[$i]}" "${files[$i]}" "$secs" "$note"
    case $verdict in
    caught) ((++caught)) ;;
    missed)
        ((++missed))
        missed_lines+=("$(printf '%-5s %s: "%s" -> "%s"  [%s %s]' "${ids[$i]}" "${files[$i]}" "${froms[$i]}" "${tos[$i]}" \
            "${groups[$i]}" "${regexes[$i]}")")
        ;;
    stale) ((++stale)) ;;
    build-broken) ((++broken)) ;;
    esac
}

# run_tests PRESET LOG SELECTION...: the covering tests, chosen by ctest's
# -R or -I; 0 when all pass, 1 when one fails, 2 when none is chosen.
run_tests() {
    local preset=$1 log=$2 timeout=60 jobs=2 rc
    shift 2
    # The Windows tests share one desktop and tray: they take turns.
    [ "$preset" = windows ] && timeout=180 jobs=1
    "${with_hosts[@]}" ctest --preset "$preset" "$@" -j "$jobs" --timeout "$timeout" --output-on-failure >>"$log" 2>&1
    rc=$?
    grep -q "No tests were found" "$log" && return 2
    [ "$rc" -eq 0 ] && return 0
    return 1
}

# covered PRESET INDEX...: the numbers of every test that one of these
# mutants names, as ctest's -I wants them. (One regex joining them all would
# pass the limit of ten parentheses in CMake's regular expressions.)
covered() {
    local preset=$1 i
    shift
    for i in "$@"; do
        ctest --preset "$preset" -N -R "${regexes[$i]}" 2>/dev/null | sed -n 's/^ *Test *#\([0-9]*\):.*/\1/p'
    done | sort -nu | paste -sd, -
}

# Where the Windows tests run, each mutant gets the prefix as it was after
# start-up: a mutant may leave a process holding the instance lock, or
# settings that would make the next run's tests skip.
reset_wine() {
    [ "$1" = windows ] || return 0
    # Wine lives in the tests' own network namespace (services.sh).
    "${in_netns[@]}" wineserver -k </dev/null >/dev/null 2>&1 || true
    timeout 20 "${in_netns[@]}" wineserver -w </dev/null >/dev/null 2>&1 || true
    cp "$wine_template"/*.reg "$WINEPREFIX"/
    "${in_netns[@]}" wineserver -p </dev/null >/dev/null 2>&1
    "${in_netns[@]}" wineboot </dev/null >/dev/null 2>&1
}

# The tests that install the setup run the exe and script inside it, not the
# build's: their mutants need the setup made again.
installs() { [[ ${groups[$1]} == wine && ${regexes[$1]} =~ Setup ]]; }
package_for() { ! installs "$1" || bash scripts/package.sh; }

# run_group PRESET INDEX...: the baseline, then each mutant.
run_group() {
    local preset=$1 i file log t0 rc note tests
    shift
    if [ "$baseline" -eq 1 ]; then
        echo "== baseline: the $preset tests that cover these mutants, unchanged"
        reset_wine "$preset"
        : >"$logs/baseline-$preset.log"
        tests=$(covered "$preset" "$@")
        run_tests "$preset" "$logs/baseline-$preset.log" -I "0,0,0,${tests:-0}"
        rc=$?
        if [ "$rc" -ne 0 ]; then
            echo "mutants: the unchanged tests do not pass (see $logs/baseline-$preset.log); nothing to measure" >&2
            exit 1
        fi
        grep -E "tests passed|Total Test time" "$logs/baseline-$preset.log" | sed 's/^/   /'
    fi
    echo "== $preset mutants"
    for i in "$@"; do
        file=${files[$i]} log="$logs/${ids[$i]}.log"
        t0=$(date +%s)
        : >"$log"
        if [ ! -f "$file" ]; then
            report "$i" stale 0 "(no file $file)"
            continue
        fi
        cp "$file" "$backup"
        mutated=$file
        mutate "$file" "${froms[$i]}" "${tos[$i]}"
        rc=$?
        if [ "$rc" -ne 0 ]; then
            mutated=""
            case $rc in
            3) note="(original text not found)" ;;
            4) note="(original text found more than once)" ;;
            *) note="(could not apply)" ;;
            esac
            report "$i" stale 0 "$note"
            continue
        fi
        dirty_build=1
        git diff --no-color -- "$file" >>"$log" 2>&1
        if ! cmake --build --preset "$preset" >>"$log" 2>&1 || ! package_for "$i" >>"$log" 2>&1; then
            restore
            report "$i" build-broken $(($(date +%s) - t0))
            continue
        fi
        reset_wine "$preset"
        run_tests "$preset" "$log" -R "${regexes[$i]}"
        rc=$?
        restore
        note=""
        grep -q "(Skipped)" "$log" && note="(some tests skipped)"
        case $rc in
        0) report "$i" missed $(($(date +%s) - t0)) "$note" ;;
        1) report "$i" caught $(($(date +%s) - t0)) "$note" ;;
        2) report "$i" stale $(($(date +%s) - t0)) "(no test matches ${regexes[$i]})" ;;
        esac
    done
}

bash scripts/setup.sh || exit 1
# The linux preset always: the Windows tests' loopback fixtures come from it.
bash scripts/build.sh linux >"$logs/build-linux.log" 2>&1 || { echo "mutants: linux build failed (see $logs/build-linux.log)" >&2; exit 1; }
if ((${#wine[@]})); then
    bash scripts/package.sh >"$logs/build-windows.log" 2>&1 ||
        { echo "mutants: windows build failed (see $logs/build-windows.log)" >&2; exit 1; }
fi

with_hosts=()
((${#native[@]})) && run_group linux "${native[@]}"

if ((${#wine[@]})); then
    . scripts/services.sh
    # The loopback addresses are fixed, so this part takes turns with test.sh.
    exec 9>/tmp/veltrano-wine-tests.lock
    echo "== waiting for the Wine test lock"
    flock 9
    echo "== starting loopback servers, display and Wine"
    services_init
    trap cleanup EXIT
    services_up=1
    start_test_services "$root" "$root/build/wineprefix-mutants" || { echo "mutants: services did not start" >&2; exit 1; }
    wine_template="$service_dir/wineprefix-registry"
    mkdir -p "$wine_template"
    "${in_netns[@]}" wineserver -k </dev/null >/dev/null 2>&1 || true
    timeout 20 "${in_netns[@]}" wineserver -w </dev/null >/dev/null 2>&1 || true
    cp "$WINEPREFIX"/*.reg "$wine_template"/
    run_group windows "${wine[@]}"
    stop_services
    services_up=0
    flock -u 9
fi

echo "== rebuilding without mutants"
bash scripts/build.sh linux >>"$logs/build-linux.log" 2>&1 || echo "mutants: linux rebuild failed" >&2
((${#wine[@]})) && { bash scripts/package.sh >>"$logs/build-windows.log" 2>&1 || echo "mutants: windows rebuild failed" >&2; }
dirty_build=""

echo
if ((${#missed_lines[@]})); then
    echo "== missed"
    printf '%s\n' "${missed_lines[@]}"
fi
counted=$((caught + missed))
score=$(awk -v c="$caught" -v t="$counted" 'BEGIN { printf "%.0f", t ? 100 * c / t : 0 }')
extra=""
((broken)) && extra=", $broken build-broken"
echo "mutants: $caught caught, $missed missed, $stale stale$extra (score $score%)"
echo "took $(( ($(date +%s) - started) / 60 )) min $(( ($(date +%s) - started) % 60 )) s"
