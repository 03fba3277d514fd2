#!/usr/bin/env bash
# Makes a Wine prefix that reports Windows 10 and has the Wine fonts, if missing.
# Usage: wine-prefix.sh PREFIX   (the caller has set up WINEDEBUG etc. via wine-env)
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix
if [ ! -f "$prefix/.velmora-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wine winecfg -v win10 </dev/null >/dev/null 2>&1 || true
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  # A crash must end the process at once, not wait on a crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
  wineserver -w || true
  touch "$prefix/.velmora-ready"
fi
