#!/usr/bin/env bash
# Builds what a Windows user installs, into dist/ (or --out DIR):
# daybander.dll, daybander-<version>.msi and SHA256SUMS. The native build's
# daybander command exports the DLL's registration as the package's registry
# rows (see cmake/make_package.sh).
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

# The native command (configured as scripts/run.sh configures it) and the DLL
# (as scripts/test.sh configures it).
native=$top/build/run
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$native" -DCMAKE_BUILD_TYPE=Release -DDAYBANDER_TESTS=OFF >/dev/null
fi
cmake --build "$native" -j2 --target daybander daybander_host >/dev/null
win=$top/build/win
if [ ! -f "$win/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
cmake --build "$win" -j2 --target daybander >/dev/null

bash "$top/cmake/make_package.sh" --dll "$win/daybander.dll" --host "$native/host/daybander" \
  --library "$native/daybander.so" --out "$out"
