#!/usr/bin/env bash
# Runs one test process of the sanitizer build. LeakSanitizer's own tracer can
# crash while it stops the process's threads (it then says "has encountered a
# fatal error") and the process fails with no verdict on leaks. Such a run is
# made once more; when the tracer crashes again, a third run goes without the
# leak check and says so, so the test's own checks and the address and
# undefined-behaviour checks still decide (the one-process run of the whole
# suite checks for leaks as well). A leak it reports, or any other failure,
# stands.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
tracer_crashed() {
  grep -q "LeakSanitizer has encountered a fatal error" "$out" &&
    ! grep -q "ERROR: LeakSanitizer: detected memory leaks" "$out"
}
"$@" >"$out" 2>&1
status=$?
if [ "$status" -ne 0 ] && tracer_crashed; then
  cat "$out"
  echo "lsan-retry: the leak checker failed before a verdict; running once more"
  "$@" >"$out" 2>&1
  status=$?
  if [ "$status" -ne 0 ] && tracer_crashed; then
    cat "$out"
    echo "lsan-retry: the leak checker failed again; running without it (no leak verdict for this run)"
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$@" >"$out" 2>&1
    status=$?
  fi
fi
cat "$out"
exit "$status"
