#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp) with clang and runs each of
# them over its seed corpus (fuzz/corpus/<name>/).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   run each target for SECONDS (default 60),
#                                           keeping what it finds in fuzz/corpus-work/
#   scripts/fuzz.sh --runs N [TARGET...]    run each target for N inputs over the seeds only
#
# TARGET is a name such as parser or fuzz_parser; default: every target.
# Crashes are written to fuzz/corpus-work/artifacts/ and end the script with
# a failure. FUZZ_BUILD_DIR chooses the build directory (default build-fuzz;
# it must have been configured with -DTAVIX_BUILD_FUZZ=ON and clang).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=time
amount=60
if [ "${1:-}" = "--runs" ]; then
  mode=runs
  amount=${2:?--runs needs a count}
  shift 2
elif [ -n "${1:-}" ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  amount=$1
  shift
fi

# A build directory that is already configured (for example the test
# script's sanitizer build, which carries the fuzz targets) is used as it is.
build=${FUZZ_BUILD_DIR:-build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVIX_BUILD_FUZZ=ON -DTAVIX_BUILD_TESTS=OFF -DTAVIX_BUILD_BENCH=OFF >/dev/null
fi

targets=()
if [ $# -gt 0 ]; then
  for t in "$@"; do targets+=("fuzz_${t#fuzz_}"); done
else
  for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

artifacts=fuzz/corpus-work/artifacts
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  seeds=fuzz/corpus/$name
  mkdir -p "$seeds"
  echo "== $target ($mode $amount)"
  if [ "$mode" = runs ]; then
    # Over the seeds only: what the run finds goes to a scratch directory,
    # never into the repository's corpus.
    mkdir -p "$scratch/$name"
    args=(-runs="$amount" "$scratch/$name" "$seeds")
  else
    work=fuzz/corpus-work/$name
    mkdir -p "$work"
    args=(-max_total_time="$amount" -print_final_stats=1 "$work" "$seeds")
  fi
  if ! "$build/$target" -artifact_prefix="$artifacts/$name-" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 "${args[@]}" 2>"$artifacts/$name.log"; then
    echo "$target failed; see $artifacts/$name.log" >&2
    tail -n 40 "$artifacts/$name.log" >&2
    status=1
  else
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$artifacts/$name.log" || true
  fi
done
exit $status
