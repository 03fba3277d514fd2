#!/usr/bin/env bash
# The program's measurements, under Wine and Xvfb, built from the Windows build.
#   bash scripts/bench.sh                 every figure, printed as one table at the end
#   bash scripts/bench.sh --startup [runs] [other/Velmora.exe ...]
#                                         start-up only: Velmora.exe against an empty
#                                         Win32 window (further programs, e.g. a saved
#                                         copy of an earlier build, in the same rounds)
#   bash scripts/bench.sh --lists [sizes ...]
#                                         long lists only (default 10000 20000)
# Every figure with a reference has it measured in the same run. Nothing leaves the
# machine: the benchmarks run in a network namespace of their own with loopback only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
source scripts/wine-env.sh
export WINEPREFIX=$root/build/win64/wineprefix

# Runs a Windows program of the build under Wine on a virtual screen, without network.
wine_run() {
  unshare -n xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    ip link set lo up 2>/dev/null || true
    wineserver -p || true
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
    wine "$@"
    wineserver -k || true
  ' _ "$@"
}

mode=all
case "${1:-}" in
  --startup) mode=startup; shift ;;
  --lists) mode=lists; shift ;;
  [0-9]*) mode=startup ;;  # the old form: bash scripts/bench.sh [runs] [programs...]
esac

targets=(velmora_bench velmora_listbench velmora_figures_bench velmora_translation_bench)
case $mode in
  startup) targets=(velmora_bench) ;;
  lists) targets=(velmora_listbench) ;;
esac
cmake --build build/win64 -j"${JOBS:-2}" --target Velmora "${targets[@]}"
bash scripts/wine-prefix.sh "$WINEPREFIX"

if [ $mode = startup ]; then
  runs=${1:-7}
  shift || true
  programs=()
  for program in "$@"; do programs+=("Z:$(realpath "$program" | tr / '\\')"); done
  wine_run "$root/build/win64/velmora_bench.exe" "$runs" "${programs[@]}"
  exit 0
fi
if [ $mode = lists ]; then
  wine_run "${LISTBENCH:-$root/build/win64/velmora_listbench.exe}" "$@"
  exit 0
fi

# Every figure. Each benchmark prints its own lines (kept in build/bench/) and its
# table rows ("| figure | value | reference | goal |"), gathered below.
out=$root/build/bench
mkdir -p "$out"
rows=$out/rows.md
: >"$rows"
run_part() {
  local name=$1
  shift
  echo "== $name" >&2
  "$@" 2>&1 | grep -v -E '^[0-9a-f]{4}:(fixme|err|warn):' | tee "$out/$name.txt" >&2 || true
  grep '^| ' "$out/$name.txt" >>"$rows" || echo "| $name | no result (see build/bench/$name.txt) | - | - |" >>"$rows"
}

run_part startup wine_run "$root/build/win64/velmora_bench.exe" "${BENCH_RUNS:-7}"

# The size of the stripped release executable.
stripped=$out/Velmora-stripped.exe
x86_64-w64-mingw32-strip -o "$stripped" build/win64/Velmora.exe
size=$(stat -c %s "$stripped")
built=$(stat -c %s build/win64/Velmora.exe)
printf '| Velmora.exe, stripped release build | %s KB | as built %s KB | <= 1024 KB |\n' \
  $((size / 1024)) $((built / 1024)) >>"$rows"

run_part lists wine_run "$root/build/win64/velmora_listbench.exe" 10000 20000
run_part figures wine_run "$root/build/win64/velmora_figures_bench.exe" "${BENCH_RUNS:-7}"
english="Z:$(realpath resources/Language/English.ini | tr / '\\')"
run_part translation wine_run "$root/build/win64/velmora_translation_bench.exe" "$english" "${BENCH_RUNS:-7}"
run_part dnsbench bash scripts/bench-dns.sh

echo
echo "| figure | value | reference in the same run | goal |"
echo "|---|---|---|---|"
cat "$rows"
