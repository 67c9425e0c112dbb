#!/usr/bin/env bash
# Sets everything up, builds and starts tavixDisp.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tavixDisp
exec ./build/tavixDisp
