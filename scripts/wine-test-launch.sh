#!/usr/bin/env bash
# Starts a Windows test executable under Wine for ctest (the test executable's
# emulator). Now and then Wine fails to start a process at all: it ends at once, with
# no output and a failing exit code, before any code of the executable has run. The
# test executable marks that it has started by creating the file named by
# VELMORA_TEST_STARTED as its first act. When a run fails and that mark is missing, the
# process never reached the test: this says so in the log and runs it once more. A run
# that reached the test is never repeated, whatever its result.
set -u
mark=$(mktemp -u "${TMPDIR:-/tmp}/velmora-started.XXXXXXXX")
trap 'rm -f "$mark"' EXIT
# The executable sees the file through Wine's drive Z:.
export VELMORA_TEST_STARTED="Z:${mark//\//\\}"
for attempt in 1 2; do
  rm -f "$mark"
  wine "$@"
  status=$?
  if [ "$status" -eq 0 ] || [ -e "$mark" ]; then exit "$status"; fi
  if [ "$attempt" -eq 1 ]; then
    echo "wine-test-launch: the test process ended with $status before it reached the test" \
         "(Wine did not start it); running it once more: $*" >&2
  fi
done
echo "wine-test-launch: the test process did not start the second time either" >&2
exit "$status"
