#!/usr/bin/env bash
# Checks tools/lsan/retry.sh with stand-in processes: a tracer crash followed
# by a clean run passes; a tracer that crashes whenever the leak check is on
# passes on the third run, which goes without it, unless that run fails too;
# a reported leak and a plain failure fail at once; a clean run is not
# repeated.
set -u
retry="$(dirname "$0")/retry.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect STATUS RUNS NAME -- SCRIPT
  local want=$1 runs=$2 name=$3
  shift 4
  : >"$work/runs"
  "$retry" bash -c "echo run >>'$work/runs'; $*" >/dev/null 2>&1
  local got=$? n
  n=$(wc -l <"$work/runs")
  if { [ "$want" = 0 ] && [ "$got" -ne 0 ]; } || { [ "$want" != 0 ] && [ "$got" -eq 0 ]; } ||
     [ "$n" -ne "$runs" ]; then
    echo "FAIL: $name (status $got, $n runs)"
    failures=$((failures + 1))
  fi
}
crash='echo "==1==LeakSanitizer has encountered a fatal error."'
leak='echo "==1==ERROR: LeakSanitizer: detected memory leaks"'
expect 0 1 "a clean run" -- 'exit 0'
expect 0 2 "a tracer crash, then a clean run" -- \
  "if [ \$(wc -l <'$work/runs') -eq 1 ]; then $crash; exit 1; fi; exit 0"
expect 0 3 "a tracer crash whenever leaks are checked" -- \
  "case \"\$ASAN_OPTIONS\" in *detect_leaks=0*) exit 0;; esac; $crash; exit 1"
expect 1 3 "a tracer crash twice, then a failing test" -- \
  "case \"\$ASAN_OPTIONS\" in *detect_leaks=0*) exit 1;; esac; $crash; exit 1"
expect 1 1 "a reported leak" -- "$leak; $crash; exit 1"
expect 1 1 "a failing test" -- 'echo "[  FAILED  ] A.B"; exit 1'
[ "$failures" -eq 0 ] && echo "retry holds"
exit "$failures"
