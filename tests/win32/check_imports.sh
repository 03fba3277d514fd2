#!/usr/bin/env bash
# Velmora.exe imports at start-up only the libraries it needs to show its first page;
# every other library is loaded when the program first calls it (delay-import
# libraries made from the function lists in cmake/delayload/). A function missing from
# such a list still links, as an ordinary import, and its library is then loaded while
# the program starts; a library newly called without a list does the same.
#   check_imports.sh EXE allowed.dll...
set -euo pipefail
exe=$1
shift
declare -A allowed=()
for dll in "$@"; do allowed[${dll,,}]=1; done
table=$(x86_64-w64-mingw32-objdump -p "$exe")
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$table" | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no import table found in $exe" >&2; exit 1; }
root=$(cd "$(dirname "$0")/../.." && pwd)
status=0
for dll in $imports; do
  [ -n "${allowed[$dll]:-}" ] && continue
  status=1
  base=${dll%.dll}
  if [ -e "$root/cmake/delayload/$base.def" ]; then
    echo "$dll is imported at start-up; add these functions to cmake/delayload/$base.def:" >&2
  else
    echo "$dll is imported at start-up, but the first page does not need it: load it when" \
         "first called (a list in cmake/delayload/ and VELMORA_DELAY_LOADED in CMakeLists.txt)." \
         "Its functions:" >&2
  fi
  awk -v want="$dll" 'tolower($0) ~ /dll name:/ { on = (tolower($3) == want); next }
                      on && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print "  " $3 }' <<<"$table" >&2
done
[ $status = 0 ] && echo "imported at start-up: $(tr '\n' ' ' <<<"$imports")"
exit $status
