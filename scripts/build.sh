#!/usr/bin/env bash
# Installs the Debian packages, then configures and builds Fluxaro into ./build (or $BUILD_DIR).
# Warnings are errors, as in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DFLUXARO_WERROR=ON
cmake --build "$build_dir" -j2
