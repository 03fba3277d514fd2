#!/usr/bin/env bash
# The libraries Velmora.exe loads when it first needs them must not be among its
# ordinary imports: a function missing from its list in cmake/delayload/ links as an
# ordinary import, and the library is then loaded while the program starts.
#   check_imports.sh EXE dll...
set -euo pipefail
exe=$1
shift
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
status=0
for dll in "$@"; do
  if grep -qx "${dll,,}.dll" <<<"$imports"; then
    echo "$dll.dll is imported at start-up; add these functions to cmake/delayload/$dll.def:" >&2
    x86_64-w64-mingw32-objdump -p "$exe" |
      awk -v want="${dll,,}.dll" 'tolower($0) ~ /dll name:/ { on = (tolower($3) == want); next } on && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print "  " $3 }' >&2
    status=1
  fi
done
[ $status = 0 ] && echo "none of $* is imported at start-up"
exit $status
