#!/usr/bin/env bash
# Runs a check program built with the image's compiler and flags
# (formation_i486_main.cpp, block_copy_i486_main.cpp) under qemu-i386
# user-mode emulation, whose x87 honours the precision control. The PE file
# holds no imports and no relocations to apply, so objcopy can rewrite it as
# an i386 ELF executable. Exits 77 (skipped) where qemu-i386 is not installed.
set -u
program=$1
command -v qemu-i386 >/dev/null || { echo "qemu-i386 not installed: skipped"; exit 77; }
elf=${program%.exe}.elf
objcopy -I pe-i386 -O elf32-i386 "$program" "$elf" || exit 1
qemu-i386 "$elf"
