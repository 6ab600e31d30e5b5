#!/usr/bin/env bash
# Installs what building and testing Veltrano needs on Debian, once.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine64 xvfb xdotool x11-utils imagemagick xinetd rdate procps python3
          clang-14 libclang-rt-14-dev nsis zip iproute2)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# chronyd, the NTP server that the Windows tests ask, is only taken out of
# its package, never installed: the package's service would set this
# machine's clock.
chrony=$(dirname "$0")/../build/chrony
if [ ! -x "$chrony/usr/sbin/chronyd" ]; then
    mkdir -p "$chrony"
    download() { (cd "$chrony" && apt-get download chrony) >/dev/null 2>&1; }
    download || { "${sudo_cmd[@]}" apt-get update -qq && download; } || { echo "setup: cannot download chrony" >&2; exit 1; }
    dpkg-deb -x "$chrony"/chrony_*.deb "$chrony" && rm -f "$chrony"/chrony_*.deb
fi

exit 0
