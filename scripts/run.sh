#!/usr/bin/env bash
# Builds Velmora.exe and starts it under Wine in a demo prefix inside the build
# folder (Windows 10, Wine's fonts, a sample machine seeded). Without a display it
# starts Xvfb itself, writes a screenshot and says where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
source scripts/wine-env.sh

cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"${JOBS:-2}" --target Velmora

export WINEPREFIX=$root/build/demo-prefix
bash scripts/wine-prefix.sh "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/.velmora-seeded" ]; then
  reg=$WINEPREFIX/drive_c/demo-machine.reg
  { printf '\xff\xfe'; sed 's/$/\r/' resources/demo-machine.reg.in | iconv -f UTF-8 -t UTF-16LE; } >"$reg"
  wine regedit /S 'C:\demo-machine.reg' </dev/null >/dev/null 2>&1 || true
  wineserver -w || true
  # regedit reports success even when an import failed: read a value back.
  if wine reg query 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkList\Profiles\{2A7B4D63-8C2F-4F9B-AD2E-3C4F5A6B7C02}' \
       /v ProfileName </dev/null 2>/dev/null | grep -q Office-5G; then
    touch "$WINEPREFIX/.velmora-seeded"
  else
    echo "run: seeding the demo machine failed" >&2
    exit 1
  fi
fi
exe=$root/build/win64/Velmora.exe

# The demo machine has the program's default DNS list, as after "Вернуть список", so
# the DNS drop-down and the DNS test table show servers (nothing is sent to them
# unless the user asks). The list is taken from the program's source, in its folder
# below the per-user application data.
appdata=$(wine cmd /c 'echo %APPDATA%' </dev/null 2>/dev/null | tr -d '\r' || true)
company=$(sed -n 's/^VELMORA_COMPANY_NAME:[A-Z]*=//p' build/win64/CMakeCache.txt)
if [ -n "$appdata" ] && [ -n "$company" ]; then
  config=$(wine winepath -u "$appdata" 2>/dev/null </dev/null)/$company/Velmora/Config
  if [ ! -f "$config/dns.ini" ]; then
    mkdir -p "$config"
    sed -n '/kDefaultList\[\] = {/,/^};/s/^ *"\(.*\)",$/\1/p' src/dnstest/DnsList.cpp | sed 's/$/\r/' >"$config/dns.ini"
  fi
fi

if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe"
fi

# No display: a private X server, a virtual Wine desktop with window frames, a picture.
shots=$root/build/screenshots
mkdir -p "$shots"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  wineserver -p || true
  wine explorer /desktop=velmora,1024x768 "$1" </dev/null >/dev/null 2>&1 &
  for i in $(seq 1 60); do
    sleep 0.5
    if xwininfo -root -tree 2>/dev/null | grep -q "Wine desktop"; then break; fi
  done
  sleep 4
  import -window root "$2/run-main-window.png"
  # The useful commands page too: its navigation button, then "MAC Address".
  xdotool mousemove 224 523 click 1 >/dev/null 2>&1 || true
  sleep 1
  xdotool mousemove 777 579 click 1 >/dev/null 2>&1 || true
  sleep 1
  import -window root "$2/run-useful-commands.png"
  wineserver -k || true
' _ "$exe" "$shots"
echo "Screenshots of the running program: $shots/run-main-window.png, $shots/run-useful-commands.png"
