#!/usr/bin/env bash
# Translation benchmark under Wine and Xvfb: translating the three windows from the
# English file, and from the file grown by keys no window has.
# Usage: bash scripts/bench-translation.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"${JOBS:-2}" --target velmora_translation_bench
source scripts/wine-env.sh
export WINEPREFIX=$root/build/win64/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX"
english="Z:$(realpath resources/Language/English.ini | tr / '\\')"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wineserver -p || true
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  wine "$1/velmora_translation_bench.exe" "$2" "$3"
  wineserver -k || true
' _ "$root/build/win64" "$english" "${1:-9}"
