#!/usr/bin/env bash
# Builds what a Windows user installs, into dist/ (or --out DIR):
# daybander.dll, daybander-<version>.msi and SHA256SUMS. The i386 build's
# daybander command loads the DLL and exports its own registration as the
# package's registry rows (see cmake/make_package.sh).
#
# Signing: with DAYBANDER_SIGN_CERT and DAYBANDER_SIGN_KEY (and, if needed,
# DAYBANDER_SIGN_PASSWORD_FILE and DAYBANDER_TIMESTAMP_URL) in the
# environment, the DLL and the package are signed; without them they are
# built unsigned, and the last line says so.
# Usage: scripts/package.sh [--out DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/dist
if [ "${1:-}" = --out ] && [ -n "${2:-}" ]; then
  out=$(mkdir -p "$2" && cd "$2" && pwd)
elif [ $# -gt 0 ]; then
  echo "usage: scripts/package.sh [--out DIR]" >&2
  exit 2
fi
bash "$top/scripts/setup.sh" run
bash "$top/scripts/setup.sh" package

# The DLL (configured as scripts/test.sh configures it), then the i386
# command, which runs it.
win=$top/build/win
if [ ! -f "$win/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
cmake --build "$win" -j2 --target daybander >/dev/null
i386=$top/build/i386
if [ ! -f "$i386/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$i386" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i386-linux.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAYBANDER_WINDOWS_BUILD="$win" >/dev/null
fi
cmake --build "$i386" -j2 --target daybander_host >/dev/null

bash "$top/cmake/make_package.sh" --dll "$win/daybander.dll" --host "$i386/host/daybander-run" \
  --library "$win/daybander.dll" --out "$out"
