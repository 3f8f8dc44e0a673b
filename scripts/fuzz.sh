#!/usr/bin/env bash
# Builds the libFuzzer targets with the "fuzz" preset, makes their seed
# corpora, and runs each target for SECONDS (default 30). Exits non-zero when
# any target finds a crash, leak, timeout or out-of-memory input; the input is
# kept under build/fuzz/artifacts/<target>/ and printed in hex.
set -euo pipefail

seconds="${1:-30}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/fuzz"
targets=(fuzz_picture fuzz_gif_stream fuzz_url_encode fuzz_fetch_reply)
# Seconds one input may take. The fuzz build bounds pictures at 4 million
# pixels, which keeps the slowest legal input far below this.
per_input_seconds=${VELKARO_FUZZ_INPUT_SECONDS:-2}
declare -A dictionary=(
  [fuzz_picture]=picture.dict
  [fuzz_gif_stream]=gif.dict
  [fuzz_url_encode]=url_encode.dict
  [fuzz_fetch_reply]=fetch_reply.dict
)

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}" -j2

work="$build/work"
artifacts="$build/artifacts"
rm -rf "$work/seeds"
mkdir -p "$work" "$artifacts"
/usr/bin/python3 "$root/fuzz/make_seeds.py" "$work/seeds"

# A smaller quarantine keeps freed picture-sized buffers from counting
# against the memory limit as if they were still in use.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=0
for target in "${targets[@]}"; do
  corpus="$work/corpus/$target"
  regressions="$root/fuzz/regressions/$target"
  rm -rf "$artifacts/$target"
  mkdir -p "$corpus" "$artifacts/$target"
  seeds=("$work/seeds/$target")
  [ -d "$regressions" ] && seeds+=("$regressions")
  log="$work/$target.log"
  echo "== $target for ${seconds}s"
  status=0
  "$build/fuzz/$target" "$corpus" "${seeds[@]}" \
    -max_total_time="$seconds" -timeout="$per_input_seconds" -rss_limit_mb=512 \
    -dict="$root/fuzz/dict/${dictionary[$target]}" \
    -artifact_prefix="$artifacts/$target/" -print_final_stats=1 >"$log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || tail -n 1 "$log"
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "!! $target failed with status $status; log: $log"
    grep -E 'ERROR|SUMMARY|broken promise|^ +#[0-9]+ ' "$log" | head -n 40 || true
    for artifact in "$artifacts/$target"/*; do
      [ -f "$artifact" ] || continue
      echo "-- $artifact"
      od -A x -t x1z -v "$artifact" | head -n 32
    done
  fi
done
exit "$failed"
