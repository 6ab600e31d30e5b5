#!/usr/bin/env bash
# Every DLL the exe imports must be a KnownDLL, which Windows maps from its own
# folder whatever lies beside the exe: any other one, planted in the folder
# the exe was started from (a Downloads folder), would be loaded first, with
# administrator rights when the user runs the program so. comctl32 is the
# exception: the manifest binds it to the side-by-side assembly.
# The list is Windows 7's, less what Windows 10 dropped from it.
set -euo pipefail
objdump=$1 exe=$2
allowed=" advapi32 clbcatq comctl32 comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi ole32
          oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32 "
imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: \(.*\)\.dll\s*$/\1/ip' | tr 'A-Z' 'a-z')
echo "imports:" $imports
[ -n "$imports" ] || { echo "no import table read"; exit 1; }
status=0
for dll in $imports; do
    case "$allowed" in *[[:space:]]$dll[[:space:]]*) ;; *) echo "not a KnownDLL: $dll.dll"; status=1 ;; esac
done
exit $status
