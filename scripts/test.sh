#!/usr/bin/env bash
# Installs, builds and runs every test (the command CI runs).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" --target format-check
ctest --test-dir "$build_dir" --output-on-failure -j2
# The readers of outside data under libFuzzer, about 20 s each; any finding fails the run.
bash scripts/fuzz.sh
