#!/usr/bin/env bash
# The main job: builds the native library and the daybander command, then runs
# it with the given arguments (none: today's band and a picture of it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh" run
build="$top/build/run"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDAYBANDER_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target daybander daybander_host >/dev/null
# With no arguments: today's band, and a picture of the toolbar beside the build.
if [ $# -eq 0 ]; then
  set -- show --png "$build/toolbar.png"
fi
exec "$build/host/daybander" "$@"
