#!/bin/sh
# Checks quorvane.exe's PE headers: a 64-bit GUI program whose import table
# names only DLLs that every Windows system has, with the manifest inside.
# Usage: check_binary.sh OBJDUMP EXE
set -eu
objdump=$1 exe=$2
headers=$("$objdump" -p "$exe")
echo "$headers" | grep -q 'Magic.*020b' || { echo "not a PE32+ (64-bit) image"; exit 1; }
echo "$headers" | grep -q 'Subsystem.*Windows GUI' || { echo "not the GUI subsystem"; exit 1; }
dlls=$(echo "$headers" | sed -n 's/.*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
[ -n "$dlls" ] || { echo "no import table found"; exit 1; }
echo "imports:" $dlls
for dll in $dlls; do
    case $dll in
        KERNEL32.DLL|USER32.DLL|GDI32.DLL|GDIPLUS.DLL|IMM32.DLL|ADVAPI32.DLL|COMCTL32.DLL|MSVCRT.DLL) ;;
        *) echo "imports a DLL that is not part of Windows: $dll"; exit 1 ;;
    esac
done
grep -q 'PerMonitorV2' "$exe" || { echo "the manifest with PerMonitorV2 is not embedded"; exit 1; }
echo "ok"
