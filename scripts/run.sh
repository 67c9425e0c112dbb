#!/usr/bin/env bash
# Sets everything up, builds and starts the demo: tavixDisp's window with a
# simulated T.A.V.I.X unit connected. Arguments go to tavixDispDemo
# (./scripts/run.sh --help lists them); ./build/tavixDisp is the program alone.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tavixDispDemo tavixDisp tavixSim
exec ./build/tavixDispDemo "$@"
