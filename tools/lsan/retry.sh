#!/usr/bin/env bash
# Runs one test process of the sanitizer build. LeakSanitizer's own tracer can
# crash while the process's threads wind down (it then says "has encountered a
# fatal error") and the process fails with no verdict on leaks: such a run is
# made once more. A leak it reports, or any other failure, stands.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$@" >"$out" 2>&1
status=$?
if [ "$status" -ne 0 ] &&
   grep -q "LeakSanitizer has encountered a fatal error" "$out" &&
   ! grep -q "ERROR: LeakSanitizer: detected memory leaks" "$out"; then
  cat "$out"
  echo "lsan-retry: the leak checker failed before a verdict; running once more"
  "$@" >"$out" 2>&1
  status=$?
fi
cat "$out"
exit "$status"
