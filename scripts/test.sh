#!/usr/bin/env bash
# Sets everything up and runs every test: the sanitizer builds first, the
# plain build last (its CTest summary closes the output).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
JOBS=$(nproc)

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_SANITIZE=address -DTAVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -j"$JOBS" -E '^e2e\.'

echo "== Leak check over a whole session (connect, draw, lose the link, reconnect, quit)"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=1 \
  build-asan/test_faults --gtest_filter='FaultAppTest.HangUp*'

echo "== ThreadSanitizer build (threaded parts)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_SANITIZE=thread -DTAVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$JOBS"
ctest --test-dir build-tsan --output-on-failure -j"$JOBS" -R '^(serial|ring|faults)\.'

echo "== Fuzz targets, a short run over their seeds"
scripts/fuzz.sh --runs 2000

echo "== Plain build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"
