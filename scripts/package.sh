#!/usr/bin/env bash
# Builds the release into build/dist:
#   Veltrano-<version>-setup.exe     installs for all users (installer/Veltrano.nsi)
#   Veltrano-<version>-portable.zip  the program's folder: exe, server list, help page, notices
# The version is project(VERSION) of CMakeLists.txt, as CMake saw it.
#
# With VELTRANO_SIGN_PFX (a PKCS#12 file holding a code-signing certificate
# and its key) and VELTRANO_SIGN_PASSWORD, Veltrano.exe, the uninstaller and
# the setup are signed with Authenticode, and time-stamped by the server at
# VELTRANO_SIGN_TIMESTAMP_URL when that is set. build/package keeps what both
# packages were made from, the signed uninstaller among them.
set -euo pipefail
# The file stays the same one once the script is in the repository's folder.
[ -z "${VELTRANO_SIGN_PFX-}" ] || export VELTRANO_SIGN_PFX=$(realpath -m -- "$VELTRANO_SIGN_PFX")
cd "$(dirname "$0")/.."
stage=$PWD/build/package

# In place. The password goes through a pipe: on the command line any user
# could read it while osslsigncode runs. osslsigncode takes an empty one
# read that way for a failed read.
sign() {  # sign FILE
    local args=(sign -pkcs12 "$VELTRANO_SIGN_PFX" -h sha256 -n "Korvane Veltrano")
    [ -z "${VELTRANO_SIGN_PASSWORD-}" ] || args+=(-readpass /dev/stdin)
    [ -z "${VELTRANO_SIGN_TIMESTAMP_URL-}" ] || args+=(-ts "$VELTRANO_SIGN_TIMESTAMP_URL")
    rm -f "$1.signed"
    printf '%s' "${VELTRANO_SIGN_PASSWORD-}" | osslsigncode "${args[@]}" -in "$1" -out "$1.signed" >/dev/null &&
        mv "$1.signed" "$1"
}

# makensis calls back with the uninstaller it has just written, before it
# packs that into the setup: signed afterwards, the setup could only carry
# an unsigned one.
if [ "${1-}" = uninstaller ]; then
    sign "$2" && cp "$2" "$stage/uninstall.exe"
    exit
fi

bash scripts/setup.sh
bash scripts/build.sh windows >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
[ -n "$version" ] || { echo "package: no version in build/windows/CMakeCache.txt" >&2; exit 1; }
dist=$PWD/build/dist
rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage"
# A copy: the tests run the build's own exe, whichever way the release was signed.
cp build/windows/bin/{Veltrano.exe,ntp_servers.txt,veltrano-help.html,THIRD-PARTY-NOTICES.txt} "$stage"

nsis_sign=()
if [ -n "${VELTRANO_SIGN_PFX-}" ]; then
    # A release meant to be signed never goes out unsigned by mistake.
    [ -r "$VELTRANO_SIGN_PFX" ] || { echo "package: cannot read $VELTRANO_SIGN_PFX" >&2; exit 1; }
    sign "$stage/Veltrano.exe"
    nsis_sign=(-DSIGN_UNINSTALLER="bash \"$PWD/scripts/package.sh\" uninstaller")
else
    echo "package: unsigned (set VELTRANO_SIGN_PFX and VELTRANO_SIGN_PASSWORD to sign)"
fi

setup=$dist/Veltrano-$version-setup.exe
# Warnings count as errors: a file left out would only be a warning.
makensis -V2 -WX -DVERSION="$version" -DBIN="$stage" -DOUTFILE="$setup" "${nsis_sign[@]}" installer/Veltrano.nsi
((${#nsis_sign[@]} == 0)) || sign "$setup"
# -X: no owner or time zone fields that differ from one machine to the next.
(cd "$stage" && zip -q -X "$dist/Veltrano-$version-portable.zip" Veltrano.exe ntp_servers.txt veltrano-help.html \
    THIRD-PARTY-NOTICES.txt)
ls -l "$dist"
