#!/usr/bin/env bash
# Checks the Windows DLL the way a Windows loader and regsvr32 would see it:
#   PE32 for i386; exports exactly the .def's names, undecorated; imports
#   nothing but system DLLs; carries the resources listed in the manifest file.
# Usage: check_dll.sh <daybander.dll> <daybander.def> <resource list>
set -u
dll=$1 def=$2 resources=$3
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
strip=${STRIP:-i686-w64-mingw32-strip}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

headers=$("$objdump" -p "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }

# 1. Format.
if grep -q 'file format pei-i386' <<<"$headers" && grep -q 'Magic.*010b' <<<"$headers"; then
  pass "PE32 i386"
else
  fail "not a PE32 i386 image"
fi

# 2. Exports: exactly the .def's names, none decorated.
want=$(awk 'f && NF && $1 !~ /^;/ {print $1} /^EXPORTS/ {f=1}' "$def" | sort)
have=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] \([^ ]*\)$/\1/p' | sort)
if [ "$want" = "$have" ]; then
  pass "exports: $(echo $have)"
else
  fail "exports differ from the .def: want [$(echo $want)] have [$(echo $have)]"
fi
if grep -q '@' <<<"$have"; then fail "decorated export names: $(grep '@' <<<"$have" | tr '\n' ' ')"; fi

# 3. Imports: system DLLs only (the runtime is linked in).
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | sort -u)
system='^(KERNEL32|USER32|GDI32|ADVAPI32|OLE32|OLEAUT32|SHLWAPI|SHELL32|COMCTL32|msvcrt|api-ms-win-.*)\.dll$'
foreign=$(grep -viE "$system" <<<"$imports" || true)
if [ -z "$foreign" ]; then
  pass "imports: $(echo $imports)"
else
  fail "imports non-system DLLs: $(echo $foreign)"
fi

# 4. Resources, by type and name (wrestool from icoutils lists them).
listing=$(wrestool -l "$dll" 2>&1)
while read -r type name what; do
  case "$type" in ''|\#*) continue ;; esac
  if grep -qE -- "--type=('?)${type}\1 --name=('?)${name}\2 " <<<"$listing"; then
    pass "resource $what (type $type, name $name)"
  else
    fail "resource $what (type $type, name $name) missing"
  fi
done < "$resources"

# 5. Size.
stripped=$(mktemp --suffix=.dll)
"$strip" -o "$stripped" "$dll"
echo "size: $(stat -c %s "$dll") bytes, stripped $(stat -c %s "$stripped") bytes"
rm -f "$stripped"

[ "$failures" -eq 0 ] && echo "DLL checks passed" || echo "$failures DLL check(s) failed"
exit $((failures > 0))
