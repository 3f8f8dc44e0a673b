#!/usr/bin/env bash
# Builds the benchmarks with the "release" preset and runs every one, then
# prints each of our figures as a ratio to the peer measured in the same run.
# VELKARO_BENCH_BUILD_DIR picks another, already configured build directory
# (its cache is used as it stands); extra arguments go to every benchmark,
# e.g. scripts/bench.sh --benchmark_repetitions=5.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
targets=(bench_decode gif_decode_bench service_bench road_bench)

if [ -n "${VELKARO_BENCH_BUILD_DIR:-}" ]; then
  build="$VELKARO_BENCH_BUILD_DIR"
  cmake -S . -B "$build" >/dev/null
else
  build="$root/build/release"
  scripts/install-deps.sh
  cmake --preset release >/dev/null
fi

# A benchmark whose folder or peer library is missing has no target; build
# the others.
known="$(cmake --build "$build" --target help)"
available=()
for t in "${targets[@]}"; do
  if grep -qw -- "$t" <<<"$known"; then available+=("$t"); fi
done
if [ "${#available[@]}" -eq 0 ]; then
  echo "no benchmark targets in $build (is Google Benchmark installed?)" >&2
  exit 1
fi
cmake --build "$build" --target "${available[@]}" -j "$(nproc)"

results="$(mktemp -d)"
trap 'rm -rf "$results"' EXIT
status=0
for t in "${available[@]}"; do
  binary="$(find "$build/bench" -type f -name "$t" -perm -u+x | head -n 1)"
  [ -n "$binary" ] || continue
  echo "== $t"
  if ! "$binary" --benchmark_out="$results/$t.json" --benchmark_out_format=json "$@"; then
    echo "$t failed" >&2
    status=1
  fi
done

# Ours against the peer of the same run, by wall-clock and by CPU time; on a
# shared machine the CPU ratio is the steadier of the two.
python3 - "$results" <<'PY'
import json, pathlib, sys

pairs = [
    ("JPEG 4000x3000 vs libjpeg-turbo to RGB", "BM_DecodeJpeg", "BM_LibjpegToRgb"),
    ("PNG 4000x3000 vs libpng simplified", "BM_DecodePng", "BM_LibpngSimplified"),
    ("BMP 24-bit vs stb_image", "BM_DecodeBmp/24", "BM_StbBmp/24"),
    ("BMP 8-bit vs stb_image", "BM_DecodeBmp/8", "BM_StbBmp/8"),
    ("GIF 1920x1080 30 frames vs giflib", "Ours/0", "Giflib/0"),
    ("GIF 374x498 10 frames vs giflib", "Ours/1", "Giflib/1"),
    ("road: SetPicture to scaled vs bare decode", "BM_SetPictureToScaled1920x1080", "BM_BareDecode1920x1080"),
]
runs = {}
for path in sorted(pathlib.Path(sys.argv[1]).glob("*.json")):
    for b in json.loads(path.read_text()).get("benchmarks", []):
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        runs[name] = b

print("\n== ratios (ours / peer)")
for label, ours, peer in pairs:
    if ours in runs and peer in runs:
        o, p = runs[ours], runs[peer]
        print(f"{label:45s} wall {o['real_time'] / p['real_time']:.2f}x  cpu {o['cpu_time'] / p['cpu_time']:.2f}x")
counters = [("BM_PeakMemoryDecodeJpeg", "peak_per_raster", "peak memory of a 4000x3000 JPEG decode / raster"),
            ("BM_Repaint", "decodes_per_repaint", "decodes per repaint"),
            ("BM_Repaint", "rescales_per_repaint", "rescales per repaint")]
for bench, counter, label in counters:
    for name, b in runs.items():
        if name.startswith(bench) and counter in b:
            print(f"{label:45s} {b[counter]:.3f}")
            break
PY
exit "$status"
