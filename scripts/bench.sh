#!/usr/bin/env bash
# Start-up benchmark under Wine and Xvfb: Velmora.exe against an empty Win32 window,
# with the ratio of the medians. Builds the Windows build first.
# Usage: bash scripts/bench.sh [runs] [other/Velmora.exe ...]
# Further programs (host paths, e.g. a saved copy of an earlier build) are timed in
# the same rounds instead of build/win64/Velmora.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"${JOBS:-2}" --target velmora_bench
source scripts/wine-env.sh
export WINEPREFIX=$root/build/win64/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX"
runs=${1:-7}
shift || true
programs=()
for program in "$@"; do programs+=("Z:$(realpath "$program" | tr / '\\')"); done
unshare -n xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  ip link set lo up 2>/dev/null || true
  wineserver -p || true
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  build=$1
  shift
  wine "$build/velmora_bench.exe" "$@"
  wineserver -k || true
' _ "$root/build/win64" "$runs" "${programs[@]}"
