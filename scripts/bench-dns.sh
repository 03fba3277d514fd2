#!/usr/bin/env bash
# Benchmark of the DNS benchmark window under Wine and Xvfb: 30 servers x 2 addresses x 3
# rounds against loopback responders with set latencies, in a network namespace of its
# own that has only loopback. Prints the wall time against the least time the engine's
# schedule allows, and the longest stretch the window's thread handled no messages, as
# table rows ("| " lines). Builds what it needs first.
# Usage: bash scripts/bench-dns.sh [runs]   (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"${JOBS:-2}" --target velmora_dnsbench_bench
source scripts/wine-env.sh
export WINEPREFIX=$root/build/win64/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
unshare -n bash -c '
  set -euo pipefail
  root=$1 work=$2 runs=$3
  ip link set lo up
  # The responders are the yardstick: ahead of other work on the machine, so that their
  # replies go out when set (they say afterwards how late they were).
  nice -n -10 python3 "$root/tests/win32/servers/dns_responders.py" --latencies "$work" 60 &
  responders=$!
  trap "kill $responders 2>/dev/null || true" EXIT
  for _ in $(seq 100); do [ -e "$work/dns-ready" ] && break; sleep 0.1; done
  if [ "$(cat "$work/dns-ready" 2>/dev/null)" != ok ]; then
    echo "the loopback DNS responders did not start: $(cat "$work/dns-ready" 2>/dev/null)" >&2
    exit 1
  fi
  # The free-form lines as they come, how punctual the responders were, then the table rows.
  { xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
    wineserver -p || true
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
    status=0
    wine \"\$@\" || status=\$?
    wineserver -k || true
    exit \$status
  " _ "$root/build/win64/velmora_dnsbench_bench.exe" "Z:$(echo "$work/dns-latencies" | tr / "\\\\")" "$runs" ||
      echo $? >"$work/failed"; } | tr -d "\r" | tee "$work/out" | grep -v "^| " || true
  status=$(cat "$work/failed" 2>/dev/null || echo 0)
  kill "$responders"
  wait "$responders" 2>/dev/null || true
  [ -e "$work/dns-lateness" ] && echo "responders: $(cat "$work/dns-lateness")"
  grep "^| " "$work/out" || true
  exit $status
' _ "$root" "$work" "${1:-5}"
