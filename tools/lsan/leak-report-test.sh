#!/usr/bin/env bash
# Checks that the suppressions of tools/lsan.supp hide only what the system
# libraries keep for themselves: a surface of rendered text or a music the
# game lost is still reported, and a run that frees both reports nothing.
# Each probe run goes through retry.sh, so a run without a leak verdict
# fails too. Skips (77) when the probe cannot make its objects here.
#   leak-report-test.sh PROBE KEEP_LIBRARIES SUPPRESSIONS
set -u
probe=$1 keep=$2 supp=$3
retry="$(dirname "$0")/retry.sh"
font=""
for f in /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf \
         /usr/share/fonts/truetype/fonts-japanese-gothic.ttf \
         $(find /usr/share/fonts -name '*.ttf' 2>/dev/null | sort | head -1); do
  [ -f "$f" ] && { font=$f; break; }
done
soundfont=""
for f in /usr/share/sounds/sf2/TimGM6mb.sf2 /usr/share/sounds/sf2/FluidR3_GM.sf2 \
         /usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf3/default-GM.sf3; do
  [ -f "$f" ] && { soundfont=$f; break; }
done
if [ -z "$font" ] || [ -z "$soundfont" ]; then
  echo "no font or no sound font: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# expect MODE CLEAN(yes|no) WHAT. The runs take the options of the suite's
# own runs: stacks unwound by frame pointers stop at the first library built
# without them, so a report names SDL rather than the call that lost the
# object; "none" differs from the others by that one object only.
expect() {
  local mode=$1 clean=$2 what=$3
  env ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0" \
    LSAN_OPTIONS="suppressions=$supp" LD_PRELOAD="$keep" \
    "$retry" "$probe" "$mode" "$font" "$soundfont" >"$work/$mode.log" 2>&1
  local status=$?
  [ "$status" -eq 77 ] && { cat "$work/$mode.log"; echo "skipped: the probe cannot run here"; exit 77; }
  if [ "$clean" = yes ]; then
    if [ "$status" -ne 0 ] || grep -q "detected memory leaks" "$work/$mode.log"; then
      cat "$work/$mode.log"
      echo "FAIL: $mode: the system libraries' own leaks are not all suppressed (status $status)"
      failures=$((failures + 1))
    fi
  elif [ "$status" -eq 0 ] || ! grep -q "ERROR: LeakSanitizer: detected memory leaks" "$work/$mode.log" ||
       ! grep -q "^Direct leak" "$work/$mode.log"; then
    cat "$work/$mode.log"
    echo "FAIL: $mode: the lost $what is not reported (status $status)"
    failures=$((failures + 1))
  else
    echo "$mode: reported: $(grep -m1 "^SUMMARY" "$work/$mode.log")"
  fi
}
expect none yes "objects"
expect text no "surface of rendered text"
expect music no "music"
[ "$failures" -eq 0 ] && echo "leaks through the system libraries are reported"
exit "$failures"
