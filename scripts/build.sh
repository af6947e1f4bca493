#!/usr/bin/env bash
# Installs the Debian packages, then configures and builds Fluxaro into ./build (or $BUILD_DIR).
# Warnings are errors, as in CI. With target names as arguments, only those are built (the main
# job builds the three programs and the resource folder, not the tests and benchmarks); a later
# build of everything in the same folder reuses them.
#
#   bash scripts/build.sh                         every target
#   bash scripts/build.sh fluxaro trakmill        some targets only
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DFLUXARO_WERROR=ON
targets=()
if [ "$#" -gt 0 ]; then
  targets=(--target "$@")
fi
cmake --build "$build_dir" -j2 "${targets[@]}"
