#!/usr/bin/env bash
# Builds a release and lays it out as an update server's product folder:
#
#   OUT/download/Velmora/Velmora.zip          the stripped Velmora.exe and the Language folder
#   OUT/download/Velmora/Velmora-setup.exe    the installer, when --setup names one
#   OUT/download/Velmora/version.txt          the version from Velmora.exe's version resource
#   OUT/download/Velmora/<file>.sig           ECDSA P-256 / SHA-256 signature of each file above
#   OUT/download/Velmora/release-public.pem   the public key to check them with
#
# Any static HTTP server serving OUT makes http://host/download/ an update server base URL.
# A signature covers the file bound to its release: the line
# "Velmora release <version> <file name>" and a line feed, then the file's bytes. Anyone
# can check a file (version.txt is signed for the version it holds):
#   { printf 'Velmora release %s %s\n' 4.5.26.229 Velmora.zip; cat Velmora.zip; } |
#     openssl dgst -sha256 -verify release-public.pem -signature Velmora.zip.sig
#
# Options:
#   --key FILE      the private key (PEM, P-256) to sign with. Without it a key pair for
#                   tests and demos is made in build/release-key/ (reused on later runs).
#   --setup FILE    an installer to publish as Velmora-setup.exe
#   --exe FILE      publish this Velmora.exe instead of building one (test servers)
#   --version TEXT  announce this version instead of the executable's (test servers)
#   --out DIR       default build/release
# The program accepts a release only when it was built with the matching public key
# (CMake setting VELMORA_UPDATE_PUBLIC_KEY_FILE); without --exe this script builds it so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

key="" setup="" exe="" version="" out="$root/build/release"
while [ $# -gt 0 ]; do
  case "$1" in
    --key) key=$(realpath "$2"); shift 2 ;;
    --setup) setup=$(realpath "$2"); shift 2 ;;
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --version) version="$2"; shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    *) echo "release.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ -z "$key" ]; then
  key="$root/build/release-key/release-private.pem"
  if [ ! -e "$key" ]; then
    mkdir -p "$(dirname "$key")"
    (umask 077 && openssl ecparam -name prime256v1 -genkey -noout -out "$key")
    echo "release.sh: made a test signing key $key"
  fi
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl pkey -in "$key" -pubout -out "$work/release-public.pem"

if [ -z "$exe" ]; then
  build="$root/build/release-win64"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DVELMORA_UPDATE_PUBLIC_KEY_FILE="$work/release-public.pem" >/dev/null
  cmake --build "$build" -j"${JOBS:-2}" --target Velmora
  exe="$build/Velmora.exe"
fi

product="$out/download/Velmora"
rm -rf "$product"
mkdir -p "$product" "$work/zip"
cp "$exe" "$work/zip/Velmora.exe"
x86_64-w64-mingw32-strip "$work/zip/Velmora.exe"
mkdir -p "$work/zip/Language"
if [ -d "$root/resources/Language" ]; then cp -r "$root/resources/Language/." "$work/zip/Language/"; fi

# The version resource's fixed file version: the numbers after the 0xFEEF04BD signature.
if [ -z "$version" ]; then
  version=$(python3 - "$work/zip/Velmora.exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
# VS_FIXEDFILEINFO: the signature, the structure version 1.0, then the file version.
at = data.find(struct.pack("<II", 0xFEEF04BD, 0x00010000))
if at < 0:
    sys.exit("release.sh: Velmora.exe has no version resource")
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
PY
)
fi

(cd "$work/zip" && python3 - "$product/Velmora.zip" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.write("Velmora.exe")
    for folder, dirs, files in os.walk("Language"):
        z.write(folder)
        for name in sorted(files):
            z.write(os.path.join(folder, name))
PY
)
printf '%s\r\n' "$version" > "$product/version.txt"
files=(Velmora.zip version.txt)
if [ -n "$setup" ]; then
  cp "$setup" "$product/Velmora-setup.exe"
  files+=(Velmora-setup.exe)
fi
cp "$work/release-public.pem" "$product/release-public.pem"
signed() { printf 'Velmora release %s %s\n' "$version" "$1"; cat "$product/$1"; }
for f in "${files[@]}"; do
  signed "$f" | openssl dgst -sha256 -sign "$key" -out "$product/$f.sig"
  signed "$f" | openssl dgst -sha256 -verify "$product/release-public.pem" -signature "$product/$f.sig" >/dev/null
done
echo "release.sh: version $version in $product"
