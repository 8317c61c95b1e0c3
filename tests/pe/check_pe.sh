#!/usr/bin/env bash
# Reads a shipped program's PE headers: it must be a 32-bit x86 GUI program
# that imports from Windows system DLLs only, so it runs on a bare Windows
# without any compiler runtime beside it.
# usage: check_pe.sh OBJDUMP EXE [manifest|no-manifest]
set -euo pipefail
objdump=$1 exe=$2 manifest=${3:-}
allowed='^(KERNEL32|USER32|SHELL32|SHLWAPI|ADVAPI32|COMDLG32|OLE32|msvcrt)\.dll$'
fail() { echo "FAIL: $exe: $*" >&2; exit 1; }

headers=$("$objdump" -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a pei-i386 image"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || fail "not PE32"
"$objdump" -f "$exe" | grep -q 'architecture: i386' || fail "machine is not i386"
grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers" || fail "subsystem is not Windows GUI"

dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || fail "no imports found"
while read -r dll; do
  grep -Eiq "$allowed" <<<"$dll" || fail "imports from $dll, which is not a system DLL"
done <<<"$dlls"

# An embedded application manifest is resource type 24 (RT_MANIFEST).
has_manifest=no
if "$objdump" -s -j .rsrc "$exe" >/dev/null 2>&1 && grep -aq '<assembly' "$exe"; then
  has_manifest=yes
fi
case $manifest in
  manifest)
    [ $has_manifest = yes ] || fail "carries no application manifest"
    grep -aq 'requireAdministrator' "$exe" || fail "manifest does not require administrator rights" ;;
  no-manifest)
    [ $has_manifest = no ] || fail "carries an application manifest; it must run as a legacy program like the game" ;;
esac
echo "OK: $exe: PE32 i386 Windows GUI; imports: $(tr '\n' ' ' <<<"$dlls")manifest: $has_manifest"
