#!/usr/bin/env bash
# Every DLL the exe imports must be a KnownDLL, which Windows maps from its own
# folder: any other, planted beside a downloaded exe, would be loaded first.
# comctl32 is bound by the manifest instead. Windows 7's list, less what 10 dropped.
set -euo pipefail
allowed=" advapi32 clbcatq comctl32 comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi ole32
          oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32 "
imports=$("$1" -p "$2" | sed -n 's/^\s*DLL Name: \(.*\)\.dll\s*$/\1/ip' | tr 'A-Z' 'a-z')
echo "imports:" $imports
[ -n "$imports" ] || { echo "no import table read"; exit 1; }
status=0
for dll in $imports; do
    case "$allowed" in *[[:space:]]$dll[[:space:]]*) ;; *) echo "not a KnownDLL: $dll.dll"; status=1 ;; esac
done
exit $status
