#!/usr/bin/env bash
# Sets everything up and runs every test: the sanitizer builds first, the
# plain build last (its CTest summary closes the output).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
JOBS=$(nproc)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

# One clang build serves the sanitizer tests and the fuzz targets: every
# object carries AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's
# coverage hooks.
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build, with the fuzz targets"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVIX_SANITIZE=address -DTAVIX_BUILD_FUZZ=ON -DTAVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -j"$JOBS" -E '^e2e\.'

echo "== Leak check over a whole session (connect, draw, lose the link, reconnect, quit)"
ASAN_OPTIONS=detect_leaks=1 build-asan/test_faults --gtest_filter='FaultAppTest.HangUp*'

echo "== Fuzz targets, a short run over their seeds"
FUZZ_BUILD_DIR=build-asan scripts/fuzz.sh --runs 2000

# Only the programs that exercise the reader thread and the ring are built
# and run under ThreadSanitizer.
echo "== ThreadSanitizer build (threaded parts)"
TSAN_TESTS=(test_serial test_ring test_faults test_app)
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_SANITIZE=thread -DTAVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$JOBS" --target "${TSAN_TESTS[@]}"
for t in "${TSAN_TESTS[@]}"; do
  build-tsan/"$t" --gtest_brief=1
done

echo "== Plain build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"
