#!/usr/bin/env bash
# The test command: the Windows DLL cross-build (first: the other builds'
# tests read the DLL, and the i386 build runs it), the native build with
# AddressSanitizer and UndefinedBehaviorSanitizer and all its tests, the i386
# build and its tests, the DLL's checks and the installer package's tests
# (which take the DLL's registration from the i386 command), and the bounded
# fuzz runs. Prints one closing line of totals.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh" test || exit 1

passed=0
failed=0
status=0
record() {  # record <ctest log>
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local bad total
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

step() { echo; echo "== $*"; }

step "Windows DLL (i686-w64-mingw32)"
native="$top/build/test"
win="$top/build/win"
i386="$top/build/i386"
cmake -S "$top" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DDAYBANDER_HOST="$i386/host/daybander-run" -DDAYBANDER_HOST_RUNS_DLL=ON >/dev/null &&
  cmake --build "$win" -j2 || { echo "Windows build failed"; exit 1; }

step "native build (ASan, UBSan)"
cmake -S "$top" -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAYBANDER_SANITIZE=ON >/dev/null &&
  cmake --build "$native" -j2 || { echo "native build failed"; exit 1; }
step "native tests"
(cd "$native" && ctest -j2 --output-on-failure --timeout 600) 2>&1 | tee "$native/ctest.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
record "$native/ctest.log"

step "i386 build (32-bit, Windows calling conventions and layouts)"
cmake -S "$top" -B "$i386" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i386-linux.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  cmake --build "$i386" -j2 || { echo "i386 build failed"; exit 1; }
step "i386 tests (the host's end-to-end tests run daybander.dll)"
(cd "$i386" && ctest -j2 --output-on-failure --timeout 600) 2>&1 | tee "$i386/ctest.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
record "$i386/ctest.log"

step "Windows DLL checks and its installer package (its registry rows from the i386 host)"
(cd "$win" && ctest --output-on-failure -V) 2>&1 | tee "$win/ctest.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
record "$win/ctest.log"

if [ -x "$top/scripts/fuzz.sh" ]; then
  step "fuzzing (bounded)"
  if bash "$top/scripts/fuzz.sh"; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
fi

echo
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
