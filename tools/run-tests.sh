#!/usr/bin/env bash
# Builds the game twice (normal, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds: each test as
# its own process through ctest, then the whole suite once more as one process
# in a shuffled order, which catches a test that leans on what another left.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(( $(nproc) < 6 ? $(nproc) : 6 ))  # the machine is shared
# A fresh order each run; the seed is printed so a failing order can be replayed
# with --gtest_shuffle --gtest_random_seed=SEED.
seed=${POMELVANE_TEST_SEED:-$(( (RANDOM % 99999) + 1 ))}
run_build() {
  local dir=$1 wrap=$2; shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # The tests' processes keep every library loaded, so a library's leak at
  # exit carries its name and its suppression applies.
  local keep="$PWD/$dir/libpomelvane_keep_libraries.so"
  ( [ -e "$keep" ] && export LD_PRELOAD="$keep" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
    echo "One process, shuffled (seed $seed): $dir/pomelvane_tests"
    cd "$dir/run" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 \
      $wrap ../pomelvane_tests --gtest_shuffle --gtest_random_seed="$seed" --gtest_brief=1 )
}
# Leaks the system libraries keep for the life of the process are known and
# suppressed (tools/lsan.supp): in the sanitizer build a leak report means a
# leak of our own.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# The game built from nothing with CMake's default generator, as a newcomer
# builds it (Unix Makefiles, which make no folder a command writes to): the
# game alone, without tests or benchmarks, through ccache when there is one.
rm -rf build-default
CCACHE=$(command -v ccache || true)
env -u CMAKE_GENERATOR cmake -S . -B build-default -DPOMELVANE_TESTS=OFF -DPOMELVANE_BENCH=OFF \
  ${CCACHE:+-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache} >/dev/null
cmake --build build-default --target pomelvane -j "$jobs"
run_build build ""
# The sanitizer build's test processes go through tools/lsan/retry.sh: a run
# whose leak check failed before a verdict is made once more, and a test
# without a verdict after that fails.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_build build-sanitize "$PWD/tools/lsan/retry.sh" -DPOMELVANE_SANITIZE=ON -DPOMELVANE_BENCH=OFF
# A leak checker that often needs its second run is a warning of its own.
retried=$(grep -c "^lsan-retry: the leak checker failed before a verdict" \
  build-sanitize/Testing/Temporary/LastTest.log || true)
echo "Sanitizer build: ${retried} test process(es) needed a second run for a leak verdict"
