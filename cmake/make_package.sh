#!/usr/bin/env bash
# Makes the Windows Installer package from a built daybander.dll:
#   1. the DLL, stripped, as it is installed;
#   2. its registry rows: `daybander wix LIBRARY` registers the library into an
#      empty registry of its own and writes what it wrote as registry.wxi;
#   3. the DLL signed, when a key is given (below);
#   4. daybander-<version>.msi by wixl from resources/daybander.wxs, the
#      version being the DLL's own; the File table gets that version and the
#      resource's language, which wixl leaves empty (a versioned file then has
#      no hash row);
#   5. the package signed, when a key is given;
#   6. SHA256SUMS of the DLL and the package.
# The output folder gets daybander.dll, the package and SHA256SUMS; nothing is
# left half-written there if a step fails.
#
# Usage: make_package.sh --dll BUILT_DLL --host DAYBANDER --library LIBRARY --out DIR
#   LIBRARY is what `daybander wix` registers: the DLL itself, with a command
#   that runs it (the i386 build's daybander-run), or a library with the same
#   registry script and type library (only its path differs, and that
#   becomes the installed file's).
# Signing (Authenticode, SHA-256, with osslsigncode), from the environment:
#   DAYBANDER_SIGN_CERT      certificate file (PEM or DER; a chain may follow)
#   DAYBANDER_SIGN_KEY       its private key file
#   DAYBANDER_SIGN_PASSWORD_FILE  the key's password, if it has one
#   DAYBANDER_TIMESTAMP_URL  an RFC 3161 timestamp server, if the signatures
#                            are to outlive the certificate
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
strip=${STRIP:-i686-w64-mingw32-strip}
dll="" host="" library="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --dll) dll=$2 ;;
    --host) host=$2 ;;
    --library) library=$2 ;;
    --out) out=$2 ;;
    *) echo "make_package.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done
[ -n "$dll" ] && [ -n "$host" ] && [ -n "$library" ] && [ -n "$out" ] ||
  { echo "usage: make_package.sh --dll DLL --host DAYBANDER --library LIBRARY --out DIR" >&2; exit 2; }
fail() { echo "make_package.sh: $*" >&2; exit 1; }

cert=${DAYBANDER_SIGN_CERT:-} key=${DAYBANDER_SIGN_KEY:-}
if [ -n "$cert" ] || [ -n "$key" ]; then
  [ -r "$cert" ] && [ -r "$key" ] || fail "DAYBANDER_SIGN_CERT and DAYBANDER_SIGN_KEY must both name readable files"
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# 1.
"$strip" -o "$stage/daybander.dll" "$dll"

# The version resource (VS_VERSIONINFO): VS_FIXEDFILEINFO begins with the
# signature 0xFEEF04BD, followed by the structure version and the file version
# as two DWORDs (major << 16 | minor, build << 16 | revision); the Translation
# value of VarFileInfo starts with the language id, 4-byte aligned after its
# UTF-16 key.
read -r version language < <(wrestool -x --raw --type=16 --name=1 "$stage/daybander.dll" | od -An -v -tu1 -w1 | awk '
  { b[n++] = $1 + 0 }
  function word(i) { return b[i] + 256 * b[i + 1] }
  END {
    for (i = 0; i + 16 <= n; i += 4) {
      if (b[i] == 189 && b[i + 1] == 4 && b[i + 2] == 239 && b[i + 3] == 254) {  # BD 04 EF FE
        version = word(i + 10) "." word(i + 8) "." word(i + 14) "." word(i + 12)
        break
      }
    }
    key = "Translation"
    for (i = 0; i + 2 * length(key) + 6 <= n; i += 2) {
      for (k = 1; k <= length(key); k++) if (word(i + 2 * (k - 1)) != ord[substr(key, k, 1)]) break
      if (k > length(key) && word(i + 2 * length(key)) == 0) {
        at = i + 2 * length(key) + 2
        at += (4 - at % 4) % 4
        language = word(at)
        break
      }
    }
    if (version != "" && language != "") print version, language
  }
  BEGIN { for (c = 32; c < 127; c++) ord[sprintf("%c", c)] = c }')
[ -n "${version:-}" ] || fail "$dll has no version resource with a file version and a language"

# A product code for this version: a name-based (SHA-1, version 5) UUID of the
# version in the upgrade code's namespace, so that rebuilding one version
# gives the same product.
upgrade_code=$(sed -n 's/.*UpgradeCode="\([0-9A-Fa-f-]*\)".*/\1/p' "$top/resources/daybander.wxs")
[ -n "$upgrade_code" ] || fail "no UpgradeCode in resources/daybander.wxs"
hash=$( { printf "$(tr -d '-' <<<"$upgrade_code" | sed 's/../\\x&/g')"; printf '%s' "$version"; } | sha1sum | cut -c1-32)
hash=${hash:0:12}5${hash:13:3}$(printf "%x" $(( (0x${hash:16:1} & 3) | 8 )))${hash:17}
product_code=$(tr a-f A-F <<<"${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20:12}")

# 2.
"$host" wix "$library" >"$stage/registry.wxi" || fail "daybander wix $library failed"

sign() {  # sign <file>: in place
  local args=(-certs "$cert" -key "$key" -h sha256 -n "Daybander")
  [ -n "${DAYBANDER_SIGN_PASSWORD_FILE:-}" ] && args+=(-readpass "$DAYBANDER_SIGN_PASSWORD_FILE")
  [ -n "${DAYBANDER_TIMESTAMP_URL:-}" ] && args+=(-ts "$DAYBANDER_TIMESTAMP_URL")
  osslsigncode sign "${args[@]}" -in "$1" -out "$1.signed" >"$stage/sign.log" 2>&1 ||
    { cat "$stage/sign.log" >&2; fail "cannot sign $(basename "$1")"; }
  mv "$1.signed" "$1"
}

# 3.
[ -z "$cert" ] || sign "$stage/daybander.dll"

# 4. wixl reports a value-less row (a key's "*") as a failed assertion; the
# row comes out as intended, so that one line is not shown.
msi="daybander-$version.msi"
if ! (cd "$stage" && wixl -a x86 -D Version="$version" -D ProductCode="$product_code" -o "$msi" \
       "$top/resources/daybander.wxs" 2>"$stage/wixl.log"); then
  cat "$stage/wixl.log" >&2
  fail "wixl failed"
fi
grep -v "string_get: assertion 'self != NULL' failed" "$stage/wixl.log" | grep -v '^$' >&2 || true
msibuild "$stage/$msi" -q "UPDATE \`File\` SET \`Version\` = '$version', \`Language\` = '$language' WHERE \`File\` = 'daybander.dll'" ||
  fail "cannot set the DLL's version in the File table"
msibuild "$stage/$msi" -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = 'daybander.dll'" ||
  fail "cannot drop the DLL's hash row"

# 5.
[ -z "$cert" ] || sign "$stage/$msi"

# 6.
(cd "$stage" && sha256sum daybander.dll "$msi" >SHA256SUMS)
mkdir -p "$out"
for file in daybander.dll "$msi" SHA256SUMS; do
  cp "$stage/$file" "$out/.$file.new"
done
for file in daybander.dll "$msi" SHA256SUMS; do
  mv -f "$out/.$file.new" "$out/$file"
done

echo "$out/$msi: $(stat -c %s "$out/$msi") bytes, version $version, product code {$product_code}"
echo "$out/daybander.dll: $(stat -c %s "$out/daybander.dll") bytes"
if [ -n "$cert" ]; then
  echo "signed: the DLL and the package (SHA-256${DAYBANDER_TIMESTAMP_URL:+, timestamped by $DAYBANDER_TIMESTAMP_URL})"
else
  echo "unsigned: no DAYBANDER_SIGN_CERT and DAYBANDER_SIGN_KEY given"
fi
