#!/usr/bin/env bash
# Checks tools/lsan/retry.sh with stand-in processes: a tracer failure
# followed by a clean run passes; a tracer that fails whenever the leak check
# is on fails the test after the second run, even for a test that would pass
# unchecked (one leaking a texture, say, run under strace); a reported leak
# and a plain failure fail at once; a clean run is not repeated.
set -u
retry="$(dirname "$0")/retry.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect STATUS RUNS NAME [LINE] -- SCRIPT
  local want=$1 runs=$2 name=$3 line=""
  shift 3
  if [ "$1" != "--" ]; then line=$1; shift; fi
  shift
  : >"$work/runs"
  "$retry" bash -c "echo run >>'$work/runs'; $*" >"$work/out" 2>&1
  local got=$? n
  n=$(wc -l <"$work/runs")
  if { [ "$want" = 0 ] && [ "$got" -ne 0 ]; } || { [ "$want" != 0 ] && [ "$got" -eq 0 ]; } ||
     [ "$n" -ne "$runs" ]; then
    echo "FAIL: $name (status $got, $n runs)"
    failures=$((failures + 1))
  elif [ -n "$line" ] && ! grep -q "$line" "$work/out"; then
    echo "FAIL: $name (no line saying \"$line\")"
    failures=$((failures + 1))
  fi
}
crash='echo "==1==LeakSanitizer has encountered a fatal error."'
leak='echo "==1==ERROR: LeakSanitizer: detected memory leaks"'
# A test that leaks a texture: with the leak check it reports the leak, and
# without it passes. Its tracer fails whenever it runs.
leaks_a_texture="case \"\$ASAN_OPTIONS\" in *detect_leaks=0*) exit 0;; esac; $crash; exit 1"
expect 0 1 "a clean run" -- 'exit 0'
expect 0 2 "a tracer failure, then a clean run" "running once more" -- \
  "if [ \$(wc -l <'$work/runs') -eq 1 ]; then $crash; exit 1; fi; exit 0"
expect 1 2 "a tracer failure, then a reported leak" -- \
  "if [ \$(wc -l <'$work/runs') -eq 1 ]; then $crash; exit 1; fi; $leak; exit 1"
expect 1 2 "a leaking test whose tracer always fails" "FAILED: the leak checker failed again" -- \
  "$leaks_a_texture"
expect 1 2 "a tracer failure in a run that ends with status 0" "FAILED" -- "$crash; exit 0"
expect 1 1 "a reported leak" -- "$leak; $crash; exit 1"
expect 1 1 "a failing test" -- 'echo "[  FAILED  ] A.B"; exit 1'
[ "$failures" -eq 0 ] && echo "retry holds"
exit "$failures"
