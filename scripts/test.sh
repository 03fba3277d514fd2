#!/usr/bin/env bash
# Builds both builds and runs every test: the native tests (with ASan/UBSan), then the
# Windows tests under Wine and Xvfb in a network namespace that has only loopback.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

jobs=${JOBS:-2}
# Both builds treat compiler warnings as errors.
# Test builds send the public-address lookup to the loopback echo server of the tests.
echo_host=127.0.0.1:47443
echo "== native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DVELMORA_IP_ECHO_HOST=$echo_host -DVELMORA_WERROR=ON >/dev/null
cmake --build build/native -j"$jobs"
echo "== native tests"
(cd build/native && ctest --output-on-failure --timeout 300)

echo "== win64 build"
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release -DVELMORA_IP_ECHO_HOST=$echo_host -DVELMORA_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"$jobs"
echo "== win64 tests (Wine, loopback only)"
unshare -n bash scripts/wine-ctest.sh build/win64
echo "Screenshots: $root/build/screenshots/"

echo "== fuzz targets (a few seconds each, so the harnesses keep building and running)"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-3}"
