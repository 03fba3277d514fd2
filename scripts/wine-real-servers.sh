#!/usr/bin/env bash
# Runs the Windows tests against real servers (RealServersWin32.*: nginx and tinyproxy,
# which the tests start themselves) under Wine and Xvfb. Run it inside a network and a
# mount namespace of its own (test.sh: unshare -n -m), so that the servers can take
# the loopback addresses the test build is made for, and so that the test CA is added
# to the certificate bundle for this run only: the bundle is bind-mounted inside the
# namespace and the system's own file is never changed.
#   unshare -n -m bash scripts/wine-real-servers.sh BUILD
set -euo pipefail
build=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
ip link set lo up
servers=$build/real-servers
rm -rf "$servers"
mkdir -p "$servers"
bash "$root/tests/win32/servers/real_servers.sh" certs "$servers"

bundle=/etc/ssl/certs/ca-certificates.crt
mount --make-rprivate /
cat "$bundle" "$servers/ca.pem" >"$servers/ca-bundle.crt"
mount --bind "$servers/ca-bundle.crt" "$bundle"
trap 'bash "$root/tests/win32/servers/real_servers.sh" stop "$servers" || true' EXIT

export WINEPREFIX=$build/wineprefix
export VELMORA_SCREENSHOTS=$root/build/screenshots
export VELMORA_REAL_SERVERS=1
mkdir -p "$VELMORA_SCREENSHOTS"
bash "$root/scripts/wine-prefix.sh" "$WINEPREFIX"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wineserver -p || true
  status=0
  (cd "$1" && timeout 900 wine ./velmora_wintests.exe --gtest_filter="RealServersWin32.*" </dev/null) || status=$?
  wineserver -k || true
  exit $status
' _ "$build"
