#!/usr/bin/env bash
# Builds Veltrano.exe and starts it under Wine, with a time service on
# 127.0.0.1 so that it has a server that answers offline. Without a display
# it runs on a virtual X server and saves a screenshot.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh || exit 1
bash scripts/build.sh windows || { echo "build failed"; exit 1; }

. scripts/services.sh
services_init

wait_for_time_service 127.0.0.1 1 2>/dev/null || start_time_service 127.0.0.1 || exit 1
virtual=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    virtual=1
    start_display || exit 1
fi
start_wine "$root/build/wineprefix-run" || exit 1

exe="$root/build/windows/bin/Veltrano.exe"
echo "Starting $exe"
wine "$exe" </dev/null >/dev/null 2>&1 &
app=$!

if [ "$virtual" -eq 1 ]; then
    sleep 4
    shot="$root/build/screenshot.png"
    import -window root "$shot" && echo "Screenshot of the virtual display: $shot"
    if [ -t 0 ]; then
        read -r -p "Veltrano runs on a virtual display ($DISPLAY). Press Enter to stop it. " _
    fi
    kill "$app" 2>/dev/null
else
    wait "$app"
fi
