#!/usr/bin/env bash
# The whole test suite, from a fresh Debian 12 machine: installs what is
# missing, builds with warnings as errors, runs every test, then builds and
# runs the suite once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# the thread tests under ThreadSanitizer, and every fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

echo "== release build and tests"
scripts/build.sh release
ctest --preset release -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/build.sh asan
# The real-window tests drive the whole desktop stack with timing of its own;
# they run in the release pass above, and the widget tests cover the same
# code offscreen here.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset asan -j "$jobs" -LE xvfb

if [ -x scripts/test-tsan.sh ]; then
  echo "== ThreadSanitizer"
  scripts/test-tsan.sh
fi

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing"
  scripts/fuzz.sh 30
fi
