#!/usr/bin/env bash
# Builds Veltrano.exe and starts it under Wine, with a time service on
# 127.0.0.1 so that it has a server that answers offline. Without a display
# it runs on a virtual X server and saves a screenshot.
#
#   bash scripts/run.sh [--high-contrast]
#
# --high-contrast shows the window as in Windows' "High Contrast Black"
# theme, which Wine cannot switch on: a build of the program that is told the
# theme is on, with the theme's system colours in the prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
program=Veltrano
if [ "${1:-}" = --high-contrast ]; then
    program=VeltranoHighContrast
elif [ $# -gt 0 ]; then
    echo "usage: bash scripts/run.sh [--high-contrast]" >&2
    exit 2
fi

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
if [ "$program" = VeltranoHighContrast ]; then
    # Read when a Wine program starts; the prefix is made anew each run.
    # Windows draws the standard controls without visual styles in such a
    # theme, so Wine's own theme goes too.
    wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /d 0 /f \
        </dev/null >/dev/null 2>&1
    while read -r name rgb; do
        wine reg add 'HKCU\Control Panel\Colors' /v "$name" /d "$rgb" /f </dev/null >/dev/null 2>&1
    done <<'COLOURS'
Window 0 0 0
WindowText 255 255 255
WindowFrame 255 255 255
ButtonFace 0 0 0
ButtonText 255 255 255
GrayText 63 242 63
Hilight 26 235 255
HilightText 0 0 0
COLOURS
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
fi

exe="$root/build/windows/bin/$program.exe"
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
