#!/usr/bin/env bash
# Configures (once) and builds into ./build: everything, or only the targets
# given (./run.sh builds just the programs it starts).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C build -j"$(nproc)" "$@"
