#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine (run as root).
set -euo pipefail

packages=(
  cmake make g++ googletest libgtest-dev
  g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine
  xvfb xauth imagemagick x11-utils xdotool
  iproute2 util-linux python3 openssl
  dnsmasq-base
  clang libclang-rt-14-dev
  nginx-light tinyproxy
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # nginx and tinyproxy are only started by the tests, with their own configuration:
  # the packages' services must not start on installation.
  policy=/usr/sbin/policy-rc.d
  own_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod +x "$policy" && own_policy=1
  fi
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  [ -z "$own_policy" ] || rm -f "$policy"
fi
