#!/usr/bin/env bash
# Runs the game on a virtual X display, finds its window, closes it as a
# window manager would, and checks that it ends with status 0 and
# writes no save file.
#   run-smoke.sh GAME PROBE RUN_DIR [fullscreen|nodata|resize-at-start]
# In a window, the window is resized on the way (a maximise among the sizes):
# the picture must fill it whole at each size. With "fullscreen" the option
# file asks for full screen first: the window must then cover the whole
# display. With "nodata" the game starts from a folder without its data: its
# start-up failure message must show, name the folder, close like any window
# and the game end with a status other than 0. With "resize-at-start" the
# game starts SMOKE_STARTS times (8), its window resized over and over from
# its creation until its first pictures are up: each start must live through
# it, show the title whole, and close with status 0.
set -uo pipefail
game=$(realpath "$1") probe=$(realpath "$2") run_dir=$(realpath "$3")
mode=${4:-window}
start_timeout=${SMOKE_START_TIMEOUT:-60}   # seconds to the first frame
close_timeout_ms=${SMOKE_CLOSE_TIMEOUT_MS:-30000}  # a hang, not a speed

command -v Xvfb >/dev/null || { echo "smoke: Xvfb is not installed"; exit 77; }

work=$(mktemp -d)
xvfb_pid="" game_pid="" probe_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
  [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "smoke: FAIL: $*"; exit 1; }

# A display of our own; Xvfb picks a free number and tells it on fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 600); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
display=$(tr -d '[:space:]' <"$work/display")
[ -n "$display" ] || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
export DISPLAY=":$display"

# A private mirror of the run folder: the data linked, the save folder copied,
# so other tests writing save files cannot disturb the check.
game_dir="$work/run"
mkdir -p "$game_dir"
for entry in "$run_dir"/* "$run_dir"/.[!.]*; do
  [ "$mode" = nodata ] && break
  [ -e "$entry" ] || continue
  [ "$(basename "$entry")" = save ] && continue
  ln -s "$entry" "$game_dir/"
done
[ "$mode" != nodata ] && [ -d "$run_dir/save" ] && cp -a "$run_dir/save" "$game_dir/save"
probe_args=(Pomelvane 640 480)
check=(0000ff resize)
starts=1
if [ "$mode" = nodata ]; then
  # The message box: any size, its own colours.
  probe_args=(ERROR 0 0)
  check=()
elif [ "$mode" = resize-at-start ]; then
  # Found at its creation, before the game is known: no process id.
  probe_args=(Pomelvane 640 480 0)
  check=(0000ff resize-at-start)
  starts=${SMOKE_STARTS:-8}
elif [ "$mode" = fullscreen ]; then
  # The screen mode is the option file's first value.
  mkdir -p "$game_dir/save"
  printf 'screen=1\r\n' >"$game_dir/save/option.sav"
  probe_args=(Pomelvane 1024 768)
  check=(0000ff)
fi

snapshot() { (cd "$game_dir" && if [ -d save ]; then find save -type f -print0 | sort -z | xargs -0r sha256sum; echo dir; else echo none; fi); }
before=$(snapshot)

# In the sanitizer build a leak fails the run; the system libraries' own
# leaks are suppressed, so the exit status speaks of the game's.
# POMELVANE_KEEP_LIBRARIES keeps the libraries loaded so their leaks carry
# their names.
lsan_options="suppressions=$(realpath "$(dirname "$0")/../lsan.supp")${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
asan_options="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
preload=""
if [ -n "${POMELVANE_KEEP_LIBRARIES:-}" ]; then
  preload=$POMELVANE_KEEP_LIBRARIES
  asan_options="$asan_options:verify_asan_link_order=0"
fi
start_game() {
  (cd "$game_dir" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 \
    ASAN_OPTIONS="$asan_options" LSAN_OPTIONS="$lsan_options" ${preload:+LD_PRELOAD="$preload"} \
    "$game") >"$work/game.log" 2>&1 &
  game_pid=$!
}

for start in $(seq "$starts"); do
  [ "$starts" -gt 1 ] && echo "smoke: start $start of $starts"
  if [ "$mode" = resize-at-start ]; then
    # The probe watches the display before the game makes its window.
    "$probe" "${probe_args[@]}" "$start_timeout" "${check[@]}" >"$work/probe.log" 2>&1 &
    probe_pid=$!
    listen_deadline=$((SECONDS + start_timeout))
    until grep -q "^window_probe: listening" "$work/probe.log"; do
      kill -0 "$probe_pid" 2>/dev/null && [ "$SECONDS" -lt "$listen_deadline" ] ||
        { cat "$work/probe.log"; fail "the probe did not start"; }
      sleep 0.05
    done
    start_game
    wait "$probe_pid"
    probe_status=$?
    probe_pid=""
    cat "$work/probe.log"
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid"
      status=$?
      game_pid=""
      cat "$work/game.log"
      fail "start $start: the game ended (status $status) while its window was resized"
    fi
    [ "$probe_status" -eq 0 ] || { cat "$work/game.log"; fail "start $start: window check"; }
  else
    start_game
    # The title draws its pictures on the blue clear: a blue corner means frames run.
    if ! "$probe" "${probe_args[@]}" "$game_pid" "$start_timeout" "${check[@]}"; then
      cat "$work/game.log"
      fail "window check"
    fi
  fi

  waited=0
  while kill -0 "$game_pid" 2>/dev/null && [ "$waited" -lt "$close_timeout_ms" ]; do
    sleep 0.02
    waited=$((waited + 20))
  done
  if kill -0 "$game_pid" 2>/dev/null; then
    cat "$work/game.log"
    fail "still running ${close_timeout_ms} ms after the close request"
  fi
  wait "$game_pid"
  status=$?
  game_pid=""
  cat "$work/game.log"
  # LeakSanitizer's own tracer can crash while the process's threads wind down
  # (it then says "has encountered a fatal error"): no verdict on leaks, so the
  # run is made once more; a leak it reports still fails.
  if [ "$status" -ne 0 ] && [ -z "${SMOKE_RETRIED:-}" ] &&
     grep -q "LeakSanitizer has encountered a fatal error" "$work/game.log"; then
    echo "smoke: the leak checker failed before a verdict; running once more"
    cleanup
    trap - EXIT
    SMOKE_RETRIED=1 exec bash "$0" "$@"
  fi
  if [ "$mode" = nodata ]; then
    [ "$status" -ne 0 ] || fail "exit status 0 without data"
    grep -q "初期化に失敗" "$work/game.log" || fail "no start-up failure message"
    # A long folder is broken over lines.
    tr -d '\n' <"$work/game.log" | grep -qF "no game data in $game_dir" || fail "the folder is not named"
  else
    [ "$status" -eq 0 ] || fail "exit status $status"
  fi
done
[ "$(snapshot)" = "$before" ] || fail "save files changed"
echo "smoke: ok (ended ${waited} ms after the close request)"
