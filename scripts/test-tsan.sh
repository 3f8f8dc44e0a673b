#!/usr/bin/env bash
# The GIF reader's and player's tests under ThreadSanitizer: configures the
# tsan preset, builds only those tests and runs the ones labelled tsan.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(gif_animation_test gif_reader_test gif_compositor_test)
cmake --preset tsan >/dev/null
cmake --build build/tsan --target "${targets[@]}" -j2
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build/tsan -L tsan --output-on-failure
