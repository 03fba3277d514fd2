#!/usr/bin/env bash
# Runs the Windows tests of a build folder under Wine and Xvfb. Meant to run inside
# a network namespace that has only loopback (see test.sh).
set -euo pipefail
build=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
ip link set lo up 2>/dev/null || true
export WINEPREFIX=$build/wineprefix
export VELMORA_SCREENSHOTS=$root/build/screenshots
mkdir -p "$VELMORA_SCREENSHOTS"
bash "$root/scripts/wine-prefix.sh" "$WINEPREFIX"

# Loopback HTTP, HTTPS, proxy and silent servers for the HTTP and DNS test-run tests.
servers=$build/loopback-servers
rm -f "$servers/ready"
python3 "$root/tests/win32/servers/loopback_servers.py" "$servers" &
servers_pid=$!
trap 'kill "$servers_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "$servers/ready" ] && break; sleep 0.1; done
[ -e "$servers/ready" ] || { echo "wine-ctest: the loopback servers did not start" >&2; exit 1; }
export VELMORA_LOOPBACK_SERVERS=1

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -e
  wineserver -p || true
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  status=0
  (cd "$1" && ctest --output-on-failure --timeout 300) || status=$?
  for f in "$VELMORA_SCREENSHOTS"/*.bmp; do
    [ -e "$f" ] || continue
    convert "$f" "${f%.bmp}.png" && rm -f "$f"
  done
  wineserver -k || true
  exit $status
' _ "$build"
