#!/usr/bin/env bash
# Checks the built setup image: PE32 for i386, GUI subsystem, an embedded
# manifest asking for administrator rights, and an import table that names
# kernel32 and msvcrt alone. Any other DLL named there is loaded before the
# program's first line, and under Wine even user32 and gdi32 then load DLLs
# (version.dll among them) from the program's own folder. Every other
# function goes through platform/win32/system_imports.S. The image names no
# call that sets a file's security by type or by path: those rewrite what the
# existing children of a folder inherit, and a hard link a user placed in the
# install folder would carry the grant to a file elsewhere.
set -euo pipefail
image=$1
allowed="kernel32.dll msvcrt.dll"

dump=$(i686-w64-mingw32-objdump -p "$image")
fail=0
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a PE32 i386 image"; fail=1; }
grep -qE 'Magic[[:space:]]+010b' <<<"$dump" || { echo "not PE32"; fail=1; }
grep -qE 'Subsystem[[:space:]]+00000002' <<<"$dump" || { echo "not a GUI subsystem image"; fail=1; }
for dll in $(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z'); do
  if ! grep -qw -- "$dll" <<<"$allowed"; then
    echo "imports $dll directly; reach its functions through system_imports.S"
    fail=1
  fi
done
if ! grep -qa 'level="requireAdministrator" uiAccess="false"' "$image"; then
  echo "the embedded manifest does not ask for requireAdministrator"
  fail=1
fi
for call in SetSecurityInfo SetNamedSecurityInfoA SetNamedSecurityInfoW TreeSetNamedSecurityInfoA \
            TreeSetNamedSecurityInfoW TreeResetNamedSecurityInfoA TreeResetNamedSecurityInfoW; do
  if grep -qa -- "$call" "$image"; then
    echo "names $call, which rewrites the access lists of existing children"
    fail=1
  fi
done
[ "$fail" -eq 0 ] && echo "image ok: $(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
exit "$fail"
