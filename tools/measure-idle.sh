#!/usr/bin/env bash
# Measures the main thread's and the whole process's share of one core while
# the game idles on the title: starts it under its own Xvfb display, waits
# WARMUP seconds, then reads the CPU ticks over SECONDS seconds.
# Usage: tools/measure-idle.sh [build dir] [seconds]   (needs Xvfb)
set -euo pipefail
BUILD=${1:-build}
SECONDS_MEASURED=${2:-10}
WARMUP=3
DISPLAY_NUM=${IDLE_DISPLAY:-:97}
cd "$BUILD/run"
Xvfb "$DISPLAY_NUM" -screen 0 800x600x24 >/dev/null 2>&1 &
XVFB=$!
trap 'kill $GAME 2>/dev/null || true; kill $XVFB 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$DISPLAY_NUM SDL_AUDIODRIVER=dummy ../pomelvane >/dev/null 2>&1 &
GAME=$!
sleep "$WARMUP"
ticks() { awk '{print $14 + $15}' "$1"; }
HZ=$(getconf CLK_TCK)
T0=$(ticks "/proc/$GAME/task/$GAME/stat")
P0=$(ticks "/proc/$GAME/stat")
sleep "$SECONDS_MEASURED"
T1=$(ticks "/proc/$GAME/task/$GAME/stat")
P1=$(ticks "/proc/$GAME/stat")
awk -v t="$((T1 - T0))" -v p="$((P1 - P0))" -v hz="$HZ" -v s="$SECONDS_MEASURED" 'BEGIN {
  printf "main thread: %.1f%% of one core over %d s\n", 100 * t / hz / s, s
  printf "whole process: %.1f%% of one core over %d s\n", 100 * p / hz / s, s
}'
