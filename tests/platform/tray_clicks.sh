#!/usr/bin/env bash
# Clicks the probe's tray icon with the real mouse, on the Wine desktop that
# scripts/test.sh provides, and checks what the probe made of each click.
# usage: tray_clicks.sh PROBE.exe
set -uo pipefail
probe=$1
log=$(mktemp /tmp/veltrano-tray.XXXXXX)
trap 'rm -f "$log"' EXIT

wine "$probe" "$(winepath -w "$log")" </dev/null >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 200); do grep -q . "$log" && break; sleep 0.05; done
if ! grep -qx ready "$log"; then echo "probe did not put its icon up: $(cat "$log")"; kill "$pid"; exit 1; fi

# The notification area is at the right end of the Wine desktop's taskbar;
# with only the probe's icon in it, that icon is the last one.
desktop=$(xdotool search --name 'Wine desktop' | head -1)
eval "$(xwininfo -id "$desktop" | awk '/Absolute upper-left X/{print "x0="$4} /Absolute upper-left Y/{print "y0="$4}
                                        /Width/{print "w="$2} /Height/{print "h="$2}')"
x=$((x0 + w - 11)) y=$((y0 + h - 11))

expect() {  # expect LINE-NUMBER TEXT
    for _ in $(seq 1 100); do [ "$(sed -n "$1p" "$log")" = "$2" ] && return 0; sleep 0.05; done
    echo "line $1: expected '$2', log is:"; cat "$log"; kill "$pid" 2>/dev/null; exit 1
}

xdotool mousemove "$x" "$y" click 3
expect 2 "menu none" &
sleep 0.7
xdotool key Escape
wait $! || exit 1
xdotool mousemove "$x" "$y" click 1
expect 3 "shown"
# The window is on the screen now: neither button does anything.
xdotool mousemove "$x" "$y" click 3
sleep 0.3
xdotool mousemove "$x" "$y" click 1
expect 4 "end"
wait "$pid"
echo "probe exit code $?"
[ "$(wc -l <"$log")" -eq 4 ] || { echo "unexpected lines:"; cat "$log"; exit 1; }
