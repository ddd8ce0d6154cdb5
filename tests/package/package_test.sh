#!/usr/bin/env bash
# The Windows Installer package, read back with msitools the way Windows
# Installer reads it, and its signatures checked with osslsigncode.
#
#   package_test.sh CASE WORK DLL HOST LIBRARY
#     CASE     build | registry | tables | signed
#     WORK     a scratch folder shared by the cases ("build" fills it)
#     DLL      the built daybander.dll
#     HOST     the native daybander command
#     LIBRARY  what the registry rows are compared with: `daybander register
#              LIBRARY` (the DLL's registry script and type library)
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
case_name=$1 work=$2 dll=$3 host=$4 library=$5

# Fixed for ever: the upgrade code names Daybander across all its versions.
upgrade_code='{60CE7029-6778-4097-B399-7D86B20BE8AF}'

failures=0
check() {  # check <what> <command...>
  local what=$1
  shift
  if "$@"; then echo "ok:   $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
finish() {
  [ "$failures" -eq 0 ] && echo "package checks passed" || echo "$failures package check(s) failed"
  exit $((failures > 0))
}
make_package() {  # make_package <out> (signing from the environment)
  bash "$top/cmake/make_package.sh" --dll "$dll" --host "$host" --library "$library" --out "$1"
}
# The version of the DLL as its resource script gives it: FILEVERSION a,b,c,d.
version=$(sed -n 's/^ *FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' \
  "$top/resources/daybander.rc")
msi=$work/unsigned/daybander-$version.msi
table() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }  # rows of a table, tab-separated
row() { table "$1" | awk -F'\t' -v key="$2" '$1 == key'; }
field() { row "$1" "$2" | cut -f"$3"; }

case "$case_name" in
build)
  rm -rf "$work" && mkdir -p "$work"
  output=$(unset DAYBANDER_SIGN_CERT DAYBANDER_SIGN_KEY; make_package "$work/unsigned" 2>&1)
  status=$?
  echo "$output"
  check "the package builds" test "$status" -eq 0
  check "daybander-$version.msi, named by the DLL's version" test -s "$msi"
  check "an unsigned package says so" grep -q '^unsigned: ' <<<"$output"
  check "SHA256SUMS holds the DLL and the package" \
    bash -c "cd '$work/unsigned' && sha256sum --quiet -c SHA256SUMS && [ \$(wc -l <SHA256SUMS) -eq 2 ]"
  ;;

registry)
  # The Registry table, one line per row: root, key, name, value, with the
  # installer's Formatted escapes read back. A key's own row is name "*".
  table Registry | awk -F'\t' '
    BEGIN { root[0] = "HKEY_CLASSES_ROOT"; root[1] = "HKEY_CURRENT_USER"; root[2] = "HKEY_LOCAL_MACHINE" }
    {
      key = $3; sub(/\\$/, "", key); value = $5
      if ($4 == "*" && value == "") { print root[$2] "|" key "|*|"; next }
      if (value ~ /^##/) value = "s:" substr(value, 2)
      else if (value ~ /^#x/) value = "b:" tolower(substr(value, 3))
      else if (value ~ /^#%/) value = "e:" substr(value, 3)
      else if (value ~ /^#/) value = "d:" substr(value, 2)
      else value = "s:" value
      gsub(/\[#daybander\.dll\]/, "<library>", value)
      gsub(/\[\\\[\]/, "[", value); gsub(/\[\\\]\]/, "]", value)
      print root[$2] "|" key "|" $4 "|" value
    }' | sort >"$work/from-package.txt"

  # What `daybander register` writes into a registry file of its own, in the
  # same form: each key as a "*" row unless unregistering leaves it (it is
  # then Windows' own), each value as a row, the library's path set aside.
  registry=$work/registry.reg
  rm -f "$registry" "$registry.lock"
  reg_dump() { DAYBANDER_REGISTRY=$registry "$host" registry | tr -d '\r'; }
  DAYBANDER_REGISTRY=$registry "$host" register "$library" >/dev/null || echo "FAIL: daybander register"
  reg_dump >"$work/registered.reg"
  DAYBANDER_REGISTRY=$registry "$host" unregister "$library" >/dev/null || echo "FAIL: daybander unregister"
  reg_dump | sed -n 's/^\[\(.*\)\]$/\1/p' >"$work/left.txt"
  awk -v real="$(readlink -f "$library")" -v given="$library" '
    function split_key(full,   i) { i = index(full, "\\"); root = substr(full, 1, i - 1); key = substr(full, i + 1) }
    function unquote(s) { gsub(/\\\\/, "\001", s); gsub(/\\"/, "\"", s); gsub(/\001/, "\\", s); return s }
    function aside(s, p,   n) { while (p != "" && (n = index(s, p)) > 0) s = substr(s, 1, n - 1) "<library>" substr(s, n + length(p)); return s }
    function dword(h,   i, n) { n = 0; for (i = 1; i <= 8; i++) n = n * 16 + index("0123456789abcdef", substr(h, i, 1)) - 1
                                return n >= 2147483648 ? n - 4294967296 : n }
    FNR == NR { left[$0] = 1; next }
    /^\[.*\]$/ { full = substr($0, 2, length($0) - 2); split_key(full); if (!(full in left)) print root "|" key "|*|"; next }
    /^@=/ { name = ""; rest = substr($0, 3) }
    /^"/ { match($0, /^"([^"\\]|\\.)*"=/); name = unquote(substr($0, 2, RLENGTH - 3)); rest = substr($0, RLENGTH + 1) }
    /^(@|")/ {
      if (rest ~ /^"/) value = "s:" aside(aside(unquote(substr(rest, 2, length(rest) - 2)), real), given)
      else if (rest ~ /^dword:/) value = "d:" dword(substr(rest, 7))
      else value = "?:" rest
      print root "|" key "|" name "|" value
    }' "$work/left.txt" "$work/registered.reg" | sort >"$work/from-register.txt"
  check "the register command wrote entries to compare with" test -s "$work/from-register.txt"
  check "the Registry table is, row for row, what daybander register writes" \
    diff -u "$work/from-register.txt" "$work/from-package.txt"
  ;;

tables)
  dist_dll=$work/unsigned/daybander.dll
  check "File: daybander.dll with the version of its resource, language 1033, its size" \
    test "$(row File daybander.dll | cut -f3-6)" = "$(printf 'daybander.dll\t%s\t%s\t1033' "$(stat -c %s "$dist_dll")" "$version")"
  check "no hash row for the versioned DLL" test -z "$(table MsiFileHash)"
  mkdir -p "$work/extracted" && (cd "$work/extracted" && msiextract "$msi" >/dev/null)
  check "the package carries the DLL of the folder, byte for byte" \
    cmp "$dist_dll" "$(find "$work/extracted" -name daybander.dll | head -1)"
  check "ProductVersion $version" test "$(field Property ProductVersion 2)" = "$version"
  check "UpgradeCode $upgrade_code" test "$(field Property UpgradeCode 2)" = "$upgrade_code"
  check "ProductName and Manufacturer for Apps and features" \
    test "$(field Property ProductName 2)/$(field Property Manufacturer 2)" = "Daybander/Daybander"
  check "per-machine (ALLUSERS 1)" test "$(field Property ALLUSERS 2)" = 1
  summary=$(msiinfo suminfo "$msi")
  check "summary: platform Intel, English" grep -qx 'Template: Intel;1033' <<<"$summary"
  words=$(sed -n 's/^Source: \([0-9]*\).*/\1/p' <<<"$summary")
  check "summary: compressed, and elevated (per-machine) rights asked for" \
    test -n "$words" -a $((words & 2)) -eq 2 -a $((words & 8)) -eq 0
  check "the DLL in [ProgramFilesFolder]Daybander" \
    test "$(row Directory INSTALLFOLDER | cut -f2-3)" = "$(printf 'ProgramFilesFolder\tDaybander')"
  attributes=$(field Component Daybander 4)
  check "a 32-bit component whose key is the DLL" \
    test -n "$attributes" -a $((attributes & 256)) -eq 0 -a "$(field Component Daybander 6)" = daybander.dll
  check "no self-registration" test -z "$(msiinfo export "$msi" SelfReg 2>/dev/null | tail -n +4)"
  check "no custom actions" test -z "$(table CustomAction)"
  check "a major upgrade: older versions of this upgrade code are found and removed" \
    bash -c "msiinfo export '$msi' Upgrade | tail -n +4 |
             awk -F'\t' '\$1 == \"$upgrade_code\" && \$2 == \"\" && \$3 == \"$version\" && !(\$5 % 4 >= 2)' | grep -q ."
  sequence=$(table InstallExecuteSequence)
  at() { awk -F'\t' -v action="$1" '$1 == action { print $3 }' <<<"$sequence"; }
  check "the older version goes before this one is installed" \
    test -n "$(at RemoveExistingProducts)" -a "$(at RemoveExistingProducts)" -gt "$(at InstallValidate)" \
    -a "$(at RemoveExistingProducts)" -lt "$(at InstallInitialize)"
  ;;

signed)
  # A throwaway code-signing certificate, made for this run only.
  keys=$work/keys
  rm -rf "$keys" && mkdir -p "$keys"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Daybander test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
  output=$(DAYBANDER_SIGN_CERT=$keys/cert.pem DAYBANDER_SIGN_KEY=$keys/key.pem make_package "$work/signed" 2>&1)
  status=$?
  echo "$output"
  check "the signed package builds and says so" test "$status" -eq 0 -a -n "$(grep '^signed: ' <<<"$output")"
  verify() {  # the signature of $1 is intact and made with the throwaway certificate
    osslsigncode verify -in "$1" -CAfile "$keys/cert.pem" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; false; }
  }
  for file in "$work/signed/daybander.dll" "$work/signed/daybander-$version.msi"; do
    check "$(basename "$file"): the signature verifies" verify "$file"
  done
  # A changed byte in the code must break the DLL's signature.
  cp "$work/signed/daybander.dll" "$work/tampered.dll"
  printf '\x90' | dd of="$work/tampered.dll" bs=1 seek=1100 conv=notrunc 2>/dev/null
  check "a changed byte breaks the signature" bash -c "! osslsigncode verify -in '$work/tampered.dll' \
    -CAfile '$keys/cert.pem' >/dev/null 2>&1"
  check "the DLL checks pass on the signed DLL" \
    bash "$top/cmake/check_dll.sh" "$work/signed/daybander.dll" "$top/resources/daybander.def" \
      "$top/resources/dll-resources.txt"
  check "SHA256SUMS holds the signed files" bash -c "cd '$work/signed' && sha256sum --quiet -c SHA256SUMS"
  ;;

*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac
finish
