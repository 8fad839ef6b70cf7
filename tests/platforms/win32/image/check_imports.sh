#!/usr/bin/env bash
# Fails when the image imports a DLL or a function that is not on the allowed
# list: every entry there exists on Windows 95 (KERNEL32, USER32, GDI32, WINMM,
# ADVAPI32). A new import has to be looked up and added deliberately.
set -u
image=$1
allowed=$2
objdump=i686-w64-mingw32-objdump
imports=$("$objdump" -p "$image" | awk '
    /DLL Name:/ { dll = toupper($3); next }
    /^[ \t]*$/  { if (dll != "" && seen) dll = ""; next }
    dll != "" && /^\t[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ { print dll, $3; seen = 1 }
' | sort -u)
if [ -z "$imports" ]; then
    echo "no imports read from $image"; exit 1
fi
status=0
while read -r dll function; do
    if ! grep -qx "$dll $function" <(grep -v '^#' "$allowed"); then
        echo "not allowed: $dll $function"
        status=1
    fi
done <<<"$imports"
echo "$(wc -l <<<"$imports") imports checked"
echo "$imports" | awk '{print $1}' | sort | uniq -c
exit $status
