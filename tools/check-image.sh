#!/usr/bin/env bash
# Checks the built setup image: PE32 for i386, GUI subsystem, an embedded
# manifest asking for administrator rights, and an import table that names
# only DLLs on the system's KnownDLLs list. Any other DLL named there would be
# searched in the program's own folder first, before the program's first line.
set -euo pipefail
image=$1
allowed="advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll gdi32.dll gdiplus.dll
imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll
oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
user32.dll wldap32.dll ws2_32.dll"

dump=$(i686-w64-mingw32-objdump -p "$image")
fail=0
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a PE32 i386 image"; fail=1; }
grep -qE 'Magic[[:space:]]+010b' <<<"$dump" || { echo "not PE32"; fail=1; }
grep -qE 'Subsystem[[:space:]]+00000002' <<<"$dump" || { echo "not a GUI subsystem image"; fail=1; }
for dll in $(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z'); do
  if ! grep -qw -- "$dll" <<<"$allowed"; then
    echo "imports $dll, which is not on the KnownDLLs list"
    fail=1
  fi
done
if ! grep -qa 'level="requireAdministrator" uiAccess="false"' "$image"; then
  echo "the embedded manifest does not ask for requireAdministrator"
  fail=1
fi
[ "$fail" -eq 0 ] && echo "image ok: $(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
exit "$fail"
