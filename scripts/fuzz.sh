#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for the given number
# of seconds (default 60), starting from the seed corpus in fuzz/corpus/<target>.
# New inputs go to build/fuzz/corpus/<target>, crashes and property failures to
# build/fuzz/findings/<target>. Prints executions, corpus size and findings per target;
# the exit status is non-zero when anything was found.
#   bash scripts/fuzz.sh [seconds] [target...]
# FUZZ_RUNS=N also ends each target after N executions (the long runs: 10000000).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

seconds=${1:-60}
shift || true
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON >/dev/null
mapfile -t all < <(cd fuzz && ls *_fuzz.cpp | sed 's/\.cpp$//')
targets=("${@:-${all[@]}}")
cmake --build "$build" -j"${JOBS:-2}" --target "${targets[@]}" >/dev/null

found=0
printf '%-24s %12s %8s %8s\n' target executions corpus findings
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$work" "$findings" "fuzz/corpus/$t"
  log="$build/$t.log"
  status=0
  "$build/fuzz/$t" -max_total_time="$seconds" ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  [[ -n "$runs" ]] || runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || echo '?')
  corpus=$(find "$work" "fuzz/corpus/$t" -type f | wc -l)
  count=$(find "$findings" -type f | wc -l)
  printf '%-24s %12s %8s %8s\n' "$t" "$runs" "$corpus" "$count"
  if ((status != 0 || count > 0)); then
    found=1
    echo "  see $log and $findings/" >&2
    grep -m3 -E 'property failed|ERROR: AddressSanitizer|runtime error|deadly signal' "$log" >&2 || true
  fi
done
exit $found
