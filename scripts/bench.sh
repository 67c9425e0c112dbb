#!/usr/bin/env bash
# Speed, latency, idle load and memory of tavixDisp on this machine; with
# BENCH_BASE, also of an earlier revision, measured side by side in the same
# run (the end-to-end runners of today are built against it, so it must have
# tools/tavix_sim/PtyPair.h: e83f152 or later).
#
#   scripts/bench.sh                 everything (about 8 minutes)
#   BENCH_BASE=<rev> scripts/bench.sh
#   BENCH_QUICK=1 scripts/bench.sh   2 MB stream, 10 s idle, shorter runs
#
# In-process figures: bench_parse_screen (Google Benchmark), caches on and
# off in the same binary. End-to-end figures: bench_e2e_runner runs the
# program's main loop on the pseudo-terminal of the unit simulator
# (tavixSim --replay) for the stream and idle measurements, and plays a
# unit in-process for the latency one. Last, the window scale sweep: at
# scales 1, 2, 4 and 6, in a real X window under a private Xvfb, processor
# time while the unit animates at 30 frames a second (frames sent, frames
# presented) and while it is idle. Then what a user feels, measured from
# outside the real program (bench/window_bench.py, also runnable alone): in a
# real X window under a private Xvfb, typed and clicked into through XTEST,
# watched through DAMAGE, its unit played on a pseudo-terminal: fast typing,
# a quick tap, a stalled line, idle wake-ups, key and drawing latencies, a
# held key, animation, intake.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD:-$ROOT/build-bench}
BASE_REV=${BENCH_BASE:-}
SIDES=(now)
[[ -n "$BASE_REV" ]] && SIDES=(before now)
WORK=$(mktemp -d /tmp/tavix-bench.XXXXXX)
BASE_BUILD=${BENCH_BASE_BUILD:-$ROOT/build-bench-base}
# The earlier revision's sources sit at a fixed place beside its build, so
# the build can be reused by the next run.
BASE_TREE=$BASE_BUILD-src
if [[ -n "${BENCH_QUICK:-}" ]]; then
  STREAM_BYTES=$((2 * 1024 * 1024)); IDLE_SECONDS=10; BURSTS=100; MIN_TIME=0.5; SWEEP_SECONDS=5
else
  STREAM_BYTES=$((20 * 1024 * 1024)); IDLE_SECONDS=30; BURSTS=300; MIN_TIME=2; SWEEP_SECONDS=10
fi
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

SIM_PID="" XVFB_PID=""
cleanup() {
  [[ -n "$SIM_PID" ]] && kill "$SIM_PID" 2>/dev/null || true
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null || true
  git -C "$ROOT" worktree remove --force "$BASE_TREE" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

echo "== building (now: $BUILD${BASE_REV:+, before: $BASE_REV in $BASE_BUILD})"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target bench_parse_screen bench_e2e_runner bench_make_stream tavixSim tavixDisp >/dev/null
if [[ -n "$BASE_REV" ]]; then
git -C "$ROOT" worktree remove --force "$BASE_TREE" 2>/dev/null || rm -rf "$BASE_TREE"
git -C "$ROOT" worktree prune
git -C "$ROOT" worktree add --detach "$BASE_TREE" "$BASE_REV" >/dev/null 2>&1
rm -rf "$BASE_TREE/bench" && cp -r "$ROOT/bench" "$BASE_TREE/bench"
if [[ -f "$BASE_BUILD/CMakeCache.txt" ]] && ! grep -q "$BASE_TREE" "$BASE_BUILD/CMakeCache.txt"; then
  rm -rf "$BASE_BUILD"
fi
cmake -S "$BASE_TREE" -B "$BASE_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_BUILD_TESTS=OFF \
  -DTAVIX_BENCH_RUNNER_ONLY=ON >/dev/null
cmake --build "$BASE_BUILD" -j2 --target bench_e2e_runner tavixDisp >/dev/null
fi

echo "== parser and screen (in-process, caches on and off)"
"$BUILD/bench_parse_screen" --benchmark_min_time=$MIN_TIME --benchmark_format=json \
  --benchmark_out="$WORK/parse.json" >/dev/null
python3 - "$WORK/parse.json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
rate = {r["name"]: r["bytes_per_second"] for r in runs}
print(f"{'stream':28} {'cached MB/s':>12} {'uncached MB/s':>14} {'ratio':>7}")
for name in sorted({n.rsplit('/', 1)[0] for n in rate}):
    on, off = rate[name + "/1"], rate[name + "/0"]
    print(f"{name:28} {on/1e6:12.2f} {off/1e6:14.2f} {on/off:7.1f}")
PY

"$BUILD/bench_make_stream" "$WORK/stream.bin" "$STREAM_BYTES"
printf 'ready\r\n' > "$WORK/tiny.bin"

# Starts the simulator replaying $1; sets SIM_PID and DEVICE.
start_sim() {
  "$BUILD/tavixSim" --replay "$1" --firmware 9.9.9.9 > "$WORK/sim.out" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 50); do
    DEVICE=$(head -n1 "$WORK/sim.out" 2>/dev/null || true)
    [[ "$DEVICE" == /dev/* ]] && return 0
    sleep 0.1
  done
  echo "simulator did not start" >&2
  return 1
}
stop_sim() { kill "$SIM_PID" 2>/dev/null || true; wait "$SIM_PID" 2>/dev/null || true; SIM_PID=""; }

for side in "${SIDES[@]}"; do
  runner="$BUILD/bench_e2e_runner"
  [[ $side == before ]] && runner="$BASE_BUILD/bench_e2e_runner"
  echo "== end to end: $side"
  start_sim "$WORK/stream.bin"
  "$runner" --mode stream --device "$DEVICE" --bytes "$STREAM_BYTES" | sed "s/^/$side /" || echo "$side stream failed"
  stop_sim
  start_sim "$WORK/tiny.bin"
  "$runner" --mode idle --device "$DEVICE" --seconds "$IDLE_SECONDS" | sed "s/^/$side /" || echo "$side idle failed"
  stop_sim
  "$runner" --mode latency --bursts "$BURSTS" | sed "s/^/$side /" || echo "$side latency failed"
done

echo "== window scales in a real X window (Xvfb, 4000 x 2400)"
if ! command -v Xvfb >/dev/null; then
  echo "Xvfb missing: no scale sweep"
  exit 0
fi
Xvfb -displayfd 3 -screen 0 4000x2400x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 50); do [[ -s "$WORK/display" ]] && break; sleep 0.1; done
for scale in 1 2 4 6; do
  for side in "${SIDES[@]}"; do
    runner="$BUILD/bench_e2e_runner"
    [[ $side == before ]] && runner="$BASE_BUILD/bench_e2e_runner"
    x11=(env DISPLAY=":$(cat "$WORK/display")" SDL_VIDEODRIVER=x11 "$runner" --scale "$scale")
    "${x11[@]}" --mode animate --seconds "$SWEEP_SECONDS" | sed "s/^/$side /" || echo "$side animate failed"
    start_sim "$WORK/tiny.bin"
    "${x11[@]}" --mode idle --device "$DEVICE" --seconds "$SWEEP_SECONDS" | sed "s/^/$side scale $scale /" ||
      echo "$side idle failed"
    stop_sim
  done
done

echo "== what a user feels, from outside the program, in a real X window (bench/window_bench.py)"
kill "$XVFB_PID" 2>/dev/null || true
wait "$XVFB_PID" 2>/dev/null || true
XVFB_PID=""
window=(python3 "$ROOT/bench/window_bench.py" ${BENCH_QUICK:+--quick})
[[ -n "$BASE_REV" ]] && window+=(--build "$BASE_BUILD" --label before)
window+=(--build "$BUILD" --label now)
"${window[@]}" || echo "window bench failed"
