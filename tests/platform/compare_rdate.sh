#!/usr/bin/env bash
# The time a real client (rdate) reads from a server and the time the
# program decodes from it must agree within a second.
set -euo pipefail
query_exe=$1 host=$2
expected=$(date -d "$(rdate -p "$host" | sed 's/^rdate: \[[^]]*\]\s*//')" +%s)
got=$(wine "$query_exe" "$host" </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^epoch //p')
echo "rdate: $expected  Veltrano: ${got:-none}"
[ -n "$got" ] && [ $(( got > expected ? got - expected : expected - got )) -le 1 ]
