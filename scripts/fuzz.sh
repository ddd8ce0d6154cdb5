#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehavior-
# Sanitizer, leak checks) and runs each for a bounded time, with a fixed seed,
# from its seed corpus tests/fuzz/<name>_corpus and with the dictionary
# tests/fuzz/<name>.dict when there is one. New inputs go to a scratch folder,
# not into the tree.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$top/build/fuzz"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DDAYBANDER_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(
  fuzz_registrar  # registry scripts
  fuzz_regfile    # the .reg file reader
  fuzz_registry   # the registry's functions, saved and loaded
  fuzz_pe         # the PE image reader
)
cmake --build "$build" -j2 --target "${targets[@]}"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  corpus="$top/tests/fuzz/${name}_corpus"
  dictionary=()
  [ -f "$top/tests/fuzz/$name.dict" ] && dictionary=(-dict="$top/tests/fuzz/$name.dict")
  mkdir -p "$scratch/$target"
  echo "== $target for ${seconds}s"
  "$build/tests/fuzz/$target" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    "${dictionary[@]}" -print_final_stats=1 "$scratch/$target" "$corpus"
done
