#!/usr/bin/env bash
# Start-up benchmark under Wine and Xvfb: Velmora.exe against an empty Win32 window,
# with the ratio of the medians. Builds the Windows build first.
# Usage: bash scripts/bench.sh [runs] [other/Velmora.exe ...]
#        bash scripts/bench.sh --lists [sizes ...]   (long lists, default 10000 20000)
# Further programs (host paths, e.g. a saved copy of an earlier build) are timed in
# the same rounds instead of build/win64/Velmora.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
lists=0
if [ "${1:-}" = --lists ]; then
  lists=1
  shift
fi
target=velmora_bench
[ $lists = 1 ] && target=velmora_listbench
cmake --build build/win64 -j"${JOBS:-2}" --target $target
source scripts/wine-env.sh
export WINEPREFIX=$root/build/win64/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX"
if [ $lists = 1 ]; then
  # The main window, its DNS table and the profiles page with long lists, and a close
  # during their loads.
  unshare -n xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    wineserver -p || true
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
    wine "$@"
    wineserver -k || true
  ' _ "${LISTBENCH:-$root/build/win64/velmora_listbench.exe}" "$@"
  exit 0
fi
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
