#!/usr/bin/env bash
# Which folder's headers each folder may include. The folders form layers,
#   mainwindow > service > clock, buttoncontrol > pipe, settings, serverlist > platform > resources,
# and an include reaches only down: a folder above is always one that a
# folder below must not know of, even when two CMake libraries let the build
# pass. bench and tests sit beside it all. Exits non-zero, naming each file
# and include that breaks the rules, or each folder that has none.
set -uo pipefail
cd "$(dirname "$0")/.."

# FOLDER: what it may include besides its own files. An entry with a slash
# allows one header only.
rules='
mainwindow: service clock buttoncontrol pipe settings serverlist platform resources
service: clock pipe settings serverlist platform resources
clock: pipe settings serverlist platform
buttoncontrol: platform resources
pipe:
settings: platform resources
serverlist: platform
platform: resources
# BuiltOn.h gives the build date in the one time type there is; the rest of
# resources is data that includes nothing.
resources: platform/SystemClock.h
# The configuration of the TLS library that the build compiles in.
cmake:
# The benchmark drives the same run the tests do, with the test rig
# (tests/fakes/SyncRig.h) and the real Win32 parts.
bench: clock serverlist platform tests
tests: *
'

declare -A allowed
while IFS= read -r line; do
    [[ "$line" =~ ^([a-z]+):(.*)$ ]] || continue
    read -ra to <<<"${BASH_REMATCH[2]}"
    allowed[${BASH_REMATCH[1]}]=" ${to[*]} "
done <<<"$rules"

status=0
# The rules themselves must be layers: no folder reaches itself through
# them. One-header exceptions stay out of this.
for from in "${!allowed[@]}"; do
    read -ra todo <<<"${allowed[$from]}"
    seen=" "
    while [ ${#todo[@]} -gt 0 ]; do
        to=${todo[-1]}
        unset 'todo[-1]'
        [[ "$to" == */* || "$to" == "*" || "$seen" == *" $to "* ]] && continue
        if [ "$to" = "$from" ]; then
            echo "scripts/check_layers.sh: $from/ reaches itself through the rules"
            status=1
            break
        fi
        seen+="$to "
        read -ra more <<<"${allowed[$to]:-}"
        todo+=("${more[@]}")
    done
done

# Every folder with sources, not only those that exist today.
mapfile -t folders < <(find . -mindepth 1 -maxdepth 1 -type d ! -name build ! -name '.*' -printf '%f\n' | sort)
for from in "${folders[@]}"; do
    mapfile -t sources < <(find "$from" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' -o -name '*.in' \))
    [ ${#sources[@]} -gt 0 ] || continue
    if [ -z "${allowed[$from]+set}" ]; then
        echo "$from/: no rules in scripts/check_layers.sh; give it a layer"
        status=1
        continue
    fi
    [ "${allowed[$from]}" = " * " ] && continue
    while IFS=: read -r file number include; do
        header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$include")
        to=${header%%/*}
        # A path without a folder of ours, or one beside the file, is the
        # file's own folder's.
        [[ "$header" == */* && -d "$to" && "$to" != "$from" && ! -e "$(dirname "$file")/$header" ]] || continue
        [[ "${allowed[$from]}" == *" $to "* || "${allowed[$from]}" == *" $header "* ]] && continue
        echo "$file:$number: $from/ may not include $header"
        status=1
    done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${sources[@]}")
done
[ "$status" -eq 0 ] && echo "include layers: every include reaches down"
exit $status
