#!/usr/bin/env bash
# Configures and builds Plivora in build/ (Release, with tests).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPLIVORA_TESTS=ON >/dev/null
cmake --build build -j"$(nproc)"
