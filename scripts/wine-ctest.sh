#!/usr/bin/env bash
# Runs the Windows tests of a build folder under Wine and Xvfb. Meant to run inside
# a network namespace that has only loopback (see test.sh). VELMORA_CTEST_ARGS passes
# more arguments to ctest, e.g. "-R AdapterPage" to run some of them.
set -euo pipefail
build=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
ip link set lo up 2>/dev/null || true
# Wine lists loopback as a card without addresses. When this namespace has nothing but
# loopback, give it one more card that leads nowhere (a veth pair, else a tap device)
# with a documentation address, so the adapter page has a card with an IPv4 address.
if [ "$(ip -o link show | awk -F": " "{print \$2}")" = "lo" ]; then
  if ip link add velmora0 type veth peer name velmora1 2>/dev/null; then
    ip link set velmora1 up
  else
    ip tuntap add dev velmora0 mode tap 2>/dev/null || true
  fi
  if ip link show velmora0 >/dev/null 2>&1; then
    ip addr add 192.0.2.10/24 dev velmora0 && ip link set velmora0 up
  fi
fi
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
# The update server serves the test releases that test.sh made with scripts/release.sh.
update_pid=""
if [ -d "$build/update-server" ]; then
  rm -f "$servers/update-ready"
  python3 "$root/tests/win32/servers/update_server.py" "$build/update-server" "$servers/update-ready" &
  update_pid=$!
  trap 'kill "$servers_pid" "$update_pid" 2>/dev/null || true' EXIT
fi
if [ -n "$update_pid" ]; then
  for _ in $(seq 100); do [ -e "$servers/update-ready" ] && break; sleep 0.1; done
  [ -e "$servers/update-ready" ] && export VELMORA_UPDATE_SERVER=1
fi

# Loopback DNS responders (and Debian's dnsmasq) for the DNS benchmark window's tests.
rm -f "$servers/dns-ready"
python3 "$root/tests/win32/servers/dns_responders.py" "$servers" &
dns_pid=$!
trap 'kill "$servers_pid" $update_pid "$dns_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "$servers/dns-ready" ] && break; sleep 0.1; done
export VELMORA_DNS_READY=Z:$servers/dns-ready

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -e
  wineserver -p || true
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  status=0
  (cd "$1" && ctest --output-on-failure --timeout 300 ${VELMORA_CTEST_ARGS:-}) || status=$?
  for f in "$VELMORA_SCREENSHOTS"/*.bmp; do
    [ -e "$f" ] || continue
    convert "$f" "${f%.bmp}.png" && rm -f "$f"
  done
  wineserver -k || true
  exit $status
' _ "$build"
