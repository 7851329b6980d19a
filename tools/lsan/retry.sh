#!/usr/bin/env bash
# Runs one test process of the sanitizer build. LeakSanitizer's own tracer can
# fail while it stops the process's threads (it then says "has encountered a
# fatal error"): that run has no verdict on leaks. Such a run is made once
# more; when the tracer fails again the test fails, since a test whose leaks
# went unchecked has not passed. A leak it reports, or any other failure,
# stands at once.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
no_verdict() {
  grep -q "LeakSanitizer has encountered a fatal error" "$out" &&
    ! grep -q "ERROR: LeakSanitizer: detected memory leaks" "$out"
}
"$@" >"$out" 2>&1
status=$?
if no_verdict; then
  cat "$out"
  echo "lsan-retry: the leak checker failed before a verdict; running once more"
  "$@" >"$out" 2>&1
  status=$?
  if no_verdict; then
    cat "$out"
    echo "lsan-retry: FAILED: the leak checker failed again, no leak verdict for: $*; counted as failed"
    exit $((status == 0 ? 1 : status))
  fi
fi
cat "$out"
exit "$status"
