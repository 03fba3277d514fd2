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
# The updater of the test build asks the loopback update server (which serves releases
# made below by scripts/release.sh) and trusts a signing key made for the test run only.
keys=$root/build/test-keys
if [ ! -e "$keys/release-private.pem" ]; then
  mkdir -p "$keys"
  (umask 077 && openssl ecparam -name prime256v1 -genkey -noout -out "$keys/release-private.pem")
fi
openssl pkey -in "$keys/release-private.pem" -pubout -out "$keys/release-public.pem.new"
cmp -s "$keys/release-public.pem.new" "$keys/release-public.pem" || mv "$keys/release-public.pem.new" "$keys/release-public.pem"
rm -f "$keys/release-public.pem.new"
update_server=http://127.0.0.1:47081
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release -DVELMORA_IP_ECHO_HOST=$echo_host -DVELMORA_WERROR=ON \
  -DVELMORA_UPDATE_PRIMARY_URL=$update_server/missing/download/ \
  -DVELMORA_UPDATE_FALLBACK_URL=$update_server/same/download/ \
  -DVELMORA_UPDATE_PUBLIC_KEY_FILE="$keys/release-public.pem" \
  -DVELMORA_DNS_REBINDING_NAME=rebind.velmora.test \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"$jobs"
echo "== test releases"
bash scripts/release.sh --exe build/win64/Velmora.exe --key "$keys/release-private.pem" \
  --out build/win64/update-server/same
bash scripts/release.sh --exe build/win64/Velmora.exe --key "$keys/release-private.pem" \
  --setup build/win64/velmora_bench.exe --version 4.5.26.229 --out build/win64/update-server/newer
# A release whose signed installer is no program: starting it fails.
printf 'not a program\r\n' > build/win64/not-a-program.txt
bash scripts/release.sh --exe build/win64/Velmora.exe --key "$keys/release-private.pem" \
  --setup build/win64/not-a-program.txt --version 4.5.26.229 --out build/win64/update-server/broken
echo "== win64 tests (Wine, loopback only)"
unshare -n bash scripts/wine-ctest.sh build/win64
echo "== win64 tests against real servers (nginx, tinyproxy; loopback only)"
unshare -n -m bash scripts/wine-real-servers.sh build/win64
echo "Screenshots: $root/build/screenshots/"

echo "== fuzz targets (a few seconds each, so the harnesses keep building and running)"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-3}"
