#!/usr/bin/env bash
# Installs what building and testing Veltrano needs on Debian, once.
set -euo pipefail

# fonts-liberation2 has Arial's metrics, and Wine draws Arial with it: without
# it the window falls back to DejaVu Sans, which is wider, and its labels wrap.
packages=(cmake ninja-build g++ googletest libgtest-dev g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine64 xvfb xdotool x11-utils imagemagick xinetd rdate procps python3
          clang-14 libclang-rt-14-dev nsis zip iproute2 openssl osslsigncode fonts-liberation2)

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

# Mbed TLS 3.6, the TLS 1.3 client under NTS, is built from Debian 13's source
# package: this machine's release ships 2.28 only. The deb-src entry takes the
# mirror and key of the machine's own release entry, so that no address is
# written here; what is unpacked stays in build/, never in the repository.
mbedtls=$(dirname "$0")/../build/mbedtls-src
if [ ! -f "$mbedtls/source/CMakeLists.txt" ]; then
    targets=$(apt-get indextargets --format '$(TARGET_OF) $(RELEASE)')
    if ! grep -qx 'deb-src trixie' <<<"$targets"; then
        . /etc/os-release
        # deb822 paragraphs: the URIs and Signed-By fields (continuation lines
        # included) of the first deb entry whose Suites hold the release itself.
        entry=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk -v release="$VERSION_CODENAME" '
            BEGIN { RS = "" }
            {
                n = split($0, lines, "\n"); types = ""; suites = ""; kept = ""; key = ""
                for (i = 1; i <= n; i++) {
                    line = lines[i]
                    if (line ~ /^#/) continue
                    if (line ~ /^[ \t]/) { if (key == "uris" || key == "signed-by") kept = kept "\n" line; continue }
                    key = tolower(substr(line, 1, index(line, ":") - 1))
                    value = substr(line, index(line, ":") + 1)
                    if (key == "types") types = value
                    else if (key == "suites") suites = value
                    else if (key == "uris" || key == "signed-by") kept = kept (kept == "" ? "" : "\n") line
                }
                if ((" " types " ") ~ /[ \t]deb[ \t]/ && (" " suites " ") ~ ("[ \t]" release "[ \t]")) { print kept; exit }
            }')
        case "$entry" in
            *URIs:*) ;;
            *) echo "setup: no deb822 apt entry for $VERSION_CODENAME to take a trixie deb-src from" >&2; exit 1 ;;
        esac
        printf 'Types: deb-src\nSuites: trixie\nComponents: main\n%s\n' "$entry" |
            "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/veltrano-trixie-src.sources >/dev/null
        "${sudo_cmd[@]}" apt-get update -qq
    fi
    rm -rf "$mbedtls" && mkdir -p "$mbedtls"
    fetch() { (cd "$mbedtls" && apt-get source --download-only mbedtls/trixie) >/dev/null 2>&1; }
    fetch || { "${sudo_cmd[@]}" apt-get update -qq && fetch; } || { echo "setup: cannot download mbedtls" >&2; exit 1; }
    # With dpkg-dev, Debian's patches too; without it the upstream tarball as released.
    if command -v dpkg-source >/dev/null; then
        dpkg-source -x "$mbedtls"/mbedtls_*.dsc "$mbedtls/source" >/dev/null 2>&1
    else
        mkdir "$mbedtls/source"
        tar -xf "$mbedtls"/mbedtls_*.orig.tar.* --strip-components=1 -C "$mbedtls/source"
    fi
    [ -f "$mbedtls/source/CMakeLists.txt" ] || { echo "setup: cannot unpack mbedtls" >&2; exit 1; }
fi

exit 0
