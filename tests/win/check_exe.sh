#!/usr/bin/env bash
# Checks the two Windows programs as shipped:
#   check_exe.sh OBJDUMP vexelor.exe vexelor-jpeg.exe
# - each imports only DLLs that come with Windows (everything else is linked
#   statically), read from the import table;
# - vexelor.exe holds libpng and zlib and no libjpeg code; vexelor-jpeg.exe
#   holds libjpeg and neither libpng nor zlib code. Each library is known by
#   text of its own that every program using it links in (the programs are
#   stripped, so symbols are looked at only when there are any).
set -euo pipefail
objdump="$1" full="$2" compact="$3"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

system_dll='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|ole32|oleaut32|shlwapi|uxtheme|imm32|winmm|version|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
for exe in "$full" "$compact"; do
    dlls="$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)"
    [ -n "$dlls" ] || fail "$(basename "$exe"): no import table found"
    for dll in $dlls; do
        [[ "$dll" =~ $system_dll ]] || fail "$(basename "$exe") imports $dll, which is no part of Windows"
    done
    echo "$(basename "$exe") imports: $(echo $dlls)"
done

# Text that each library's always-linked core carries.
png_mark='Application built with libpng-'
zlib_mark='deflate [0-9.]+ Copyright'
jpeg_mark='Bogus marker length'
has() { [ "$(strings -a "$2" | grep -Ec -- "$1")" -gt 0 ]; }
symbols() { "${objdump%objdump}nm" "$1" 2>/dev/null | awk '{print $NF}' || true; }
has_symbol() { [ "$(symbols "$2" | grep -Ec -- "$1")" -gt 0 ]; }

has "$png_mark" "$full" || fail "vexelor.exe: no libpng found (the check would not see it)"
has "$zlib_mark" "$full" || fail "vexelor.exe: no zlib found (the check would not see it)"
has "$jpeg_mark" "$full" && fail "vexelor.exe contains libjpeg code"
has "$jpeg_mark" "$compact" || fail "vexelor-jpeg.exe: no libjpeg found (the check would not see it)"
has "$png_mark" "$compact" && fail "vexelor-jpeg.exe contains libpng code"
has "$zlib_mark" "$compact" && fail "vexelor-jpeg.exe contains zlib code"

# With symbols (an unstripped build), by name as well.
if [ -n "$(symbols "$full")" ]; then
    has_symbol '^jpeg_' "$full" && fail "vexelor.exe has jpeg_ symbols"
fi
if [ -n "$(symbols "$compact")" ]; then
    has_symbol '^(png_|deflate|inflate)' "$compact" && fail "vexelor-jpeg.exe has libpng or zlib symbols"
fi
[ "$failed" -ne 0 ] || echo "import tables and libraries as they should be"
exit "$failed"
