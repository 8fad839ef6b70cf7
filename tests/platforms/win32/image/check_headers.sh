#!/usr/bin/env bash
# Checks the PE headers that decide whether Windows 95 loads the image:
# 32-bit i386, GUI subsystem version 4.0, OS version 4.0, and no NO_SEH flag
# (the exception guard's handler lives in the image).
set -u
image=$1
dump=$(i686-w64-mingw32-objdump -p "$image")
fail=0
expect() {
    grep -qE "$1" <<<"$dump" || { echo "header check failed: $2"; fail=1; }
}
expect '^Magic[[:space:]]+010b' "PE32 (32-bit) optional header"
expect '^Subsystem[[:space:]]+00000002' "Windows GUI subsystem"
expect '^MajorSubsystemVersion[[:space:]]+4$' "subsystem major version 4"
expect '^MinorSubsystemVersion[[:space:]]+0$' "subsystem minor version 0"
expect '^MajorOSystemVersion[[:space:]]+4$' "OS major version 4"
characteristics=$(awk '/^DllCharacteristics/ {print $2}' <<<"$dump")
if (( 0x$characteristics & 0x0400 )); then
    echo "header check failed: NO_SEH is set"; fail=1
fi
file_format=$(i686-w64-mingw32-objdump -f "$image" | grep -c 'pei-i386')
[ "$file_format" -ge 1 ] || { echo "header check failed: not pei-i386"; fail=1; }
# No runtime DLL of any compiler or C library.
if grep -qiE 'DLL Name: (msvcrt|libgcc|libstdc|libwinpthread|ucrt|api-ms)' <<<"$dump"; then
    echo "header check failed: runtime DLL imported"; fail=1
fi
[ $fail -eq 0 ] && echo "headers ok: $(stat -c %s "$image") bytes"
exit $fail
