#!/usr/bin/env bash
# Checks the Windows DLL the way a Windows loader and regsvr32 would see it:
#   PE32 for i386; exports exactly the .def's names, undecorated; imports
#   nothing but system DLLs; carries the resources listed in the manifest file;
#   is at most 56 KB stripped (printed by section). Optionally, the type
#   library the build compiled: the embedded TYPELIB 1 is that file byte for
#   byte, and it imports IDispatch from stdole2.tlb instead of carrying its
#   own copy.
# Usage: check_dll.sh <daybander.dll> <daybander.def> <resource list> [<daybander.tlb>]
set -u
dll=$1 def=$2 resources=$3 tlb=${4:-}
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

# 5. The type library.
le32() { od -An -t d4 -j "$2" -N 4 "$1" | tr -d ' '; }
le16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }
guid_at() { od -An -t x1 -j "$2" -N 16 "$1" | tr -d ' \n'; }
if [ -n "$tlb" ]; then
  embedded=$(mktemp --suffix=.tlb)
  wrestool -x --raw --type=TYPELIB --name=1 "$dll" >"$embedded" 2>/dev/null
  if [ -s "$embedded" ] && cmp -s "$embedded" "$tlb"; then
    pass "TYPELIB 1 is the built $(basename "$tlb") byte for byte"
  else
    fail "TYPELIB 1 differs from the built $(basename "$tlb")"
  fi
  # MSFT layout: header of 21 DWORDs (nrtypeinfos at 0x20, dispatchpos 0x4C),
  # an optional help-DLL offset, one offset per type, then the segment
  # directory of 16-byte entries: 1 import infos, 2 import files, 5 GUIDs.
  if [ "$(head -c 4 "$embedded")" = "MSFT" ]; then
    types=$(le32 "$embedded" 32) dispatch=$(le32 "$embedded" 76) varflags=$(le32 "$embedded" 20)
    dir=$((84 + 4 * types + ((varflags & 0x100) ? 4 : 0)))
    impinfos=$(le32 "$embedded" $((dir + 16))) impfiles=$(le32 "$embedded" $((dir + 32)))
    guids=$(le32 "$embedded" $((dir + 80)))
    if [ "$dispatch" -ge 0 ] && [ $((dispatch & 1)) -eq 1 ]; then
      ref_guid=$(guid_at "$embedded" $((guids + $(le32 "$embedded" $((impinfos + (dispatch & ~3) + 8))))))
      file=$(le32 "$embedded" $((impinfos + (dispatch & ~3) + 4)))
      lib_guid=$(guid_at "$embedded" $((guids + $(le32 "$embedded" $((impfiles + file))))))
      name_length=$(($(le16 "$embedded" $((impfiles + file + 12))) >> 2))
      name=$(dd if="$embedded" bs=1 skip=$((impfiles + file + 14)) count="$name_length" 2>/dev/null)
      if [ "$ref_guid" = 0004020000000000c000000000000046 ] && [ "$name" = stdole2.tlb ] &&
         [ "$lib_guid" = 3004020000000000c000000000000046 ]; then
        pass "IDispatch imported from stdole2.tlb, not embedded"
      else
        fail "IDispatch reference is not stdole2's (guid $ref_guid, file '$name', library $lib_guid)"
      fi
    else
      fail "IDispatch is embedded in the type library, not imported (dispatch reference $dispatch)"
    fi
  else
    fail "TYPELIB 1 is not an MSFT type library"
  fi
  rm -f "$embedded"
fi

# 6. The registry script: REGISTRY 101 is daybander.rgs (beside the .def) byte
#    for byte, CR LF line ends and all, with no NUL added.
rgs=$(dirname "$def")/daybander.rgs
if [ -f "$rgs" ]; then
  script=$(mktemp --suffix=.rgs)
  wrestool -x --raw --type=REGISTRY --name=101 "$dll" >"$script" 2>/dev/null
  if [ -s "$script" ] && cmp -s "$script" "$rgs"; then
    pass "REGISTRY 101 is $(basename "$rgs") byte for byte"
  else
    fail "REGISTRY 101 differs from $(basename "$rgs")"
  fi
  rm -f "$script"
fi

# 7. Size: the stripped DLL, as it is shipped, by section (from the PE section
#    table: the bytes each takes in the file, a multiple of the file
#    alignment, and the bytes it uses), and the share of the full-calendar
#    page. No packer: the sections are the code and data themselves.
limit=$((56 * 1024))
stripped=$(mktemp --suffix=.dll)
"$strip" -o "$stripped" "$dll"
size=$(stat -c %s "$stripped")
echo "size: $(stat -c %s "$dll") bytes, stripped $size bytes (at most $limit):"
pe=$(le32 "$stripped" 60)
sections=$(le16 "$stripped" $((pe + 6)))
table=$((pe + 24 + $(le16 "$stripped" $((pe + 20)))))
headers_size=$(le32 "$stripped" $((pe + 24 + 60)))
printf '  %-8s %6d bytes\n' headers "$headers_size"
for ((i = 0; i < sections; i++)); do
  entry=$((table + 40 * i))
  name=$(dd if="$stripped" bs=1 skip="$entry" count=8 2>/dev/null | tr -d '\0')
  printf '  %-8s %6d bytes, %6d used\n' "$name" "$(le32 "$stripped" $((entry + 16)))" "$(le32 "$stripped" $((entry + 8)))"
done
page=$(wrestool -x --raw --type=23 --name=JCAL "$stripped" 2>/dev/null | wc -c)
echo "  of which the full-calendar page (JCAL, in .rsrc): $page bytes"
if [ "$size" -le "$limit" ]; then
  pass "stripped size $size bytes, at most $limit"
else
  fail "stripped size $size bytes, above $limit"
fi
rm -f "$stripped"

[ "$failures" -eq 0 ] && echo "DLL checks passed" || echo "$failures DLL check(s) failed"
exit $((failures > 0))
