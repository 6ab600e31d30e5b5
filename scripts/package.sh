#!/usr/bin/env bash
# Builds the release into build/dist:
#   Veltrano-<version>-setup.exe     installs for all users (installer/Veltrano.nsi)
#   Veltrano-<version>-portable.zip  the program's folder: exe, server list, help page, notices
# The version is project(VERSION) of CMakeLists.txt, as CMake saw it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh windows >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
[ -n "$version" ] || { echo "package: no version in build/windows/CMakeCache.txt" >&2; exit 1; }
bin=$PWD/build/windows/bin
dist=$PWD/build/dist
rm -rf "$dist"
mkdir -p "$dist"

# Warnings count as errors: a file left out would only be a warning.
makensis -V2 -WX -DVERSION="$version" -DBIN="$bin" -DOUTFILE="$dist/Veltrano-$version-setup.exe" installer/Veltrano.nsi
# -X: no owner or time zone fields that differ from one machine to the next.
(cd "$bin" && zip -q -X "$dist/Veltrano-$version-portable.zip" Veltrano.exe ntp_servers.txt veltrano-help.html \
    THIRD-PARTY-NOTICES.txt)
ls -l "$dist"
