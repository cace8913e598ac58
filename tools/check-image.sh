#!/usr/bin/env bash
# Checks the built setup image: PE32 for i386, GUI subsystem, an embedded
# manifest asking for administrator rights, and an import table that names
# only DLLs from the allowed list below.
set -euo pipefail
image=$1
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
comctl32.dll wininet.dll msvcrt.dll shlwapi.dll comdlg32.dll"

dump=$(i686-w64-mingw32-objdump -p "$image")
fail=0
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a PE32 i386 image"; fail=1; }
grep -qE 'Magic[[:space:]]+010b' <<<"$dump" || { echo "not PE32"; fail=1; }
grep -qE 'Subsystem[[:space:]]+00000002' <<<"$dump" || { echo "not a GUI subsystem image"; fail=1; }
for dll in $(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z'); do
  if ! grep -qw -- "$dll" <<<"$allowed"; then
    echo "imports $dll, which is not an allowed system DLL"
    fail=1
  fi
done
if ! grep -qa 'level="requireAdministrator" uiAccess="false"' "$image"; then
  echo "the embedded manifest does not ask for requireAdministrator"
  fail=1
fi
[ "$fail" -eq 0 ] && echo "image ok: $(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
exit "$fail"
