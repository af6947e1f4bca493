#!/usr/bin/env bash
# Installs, builds and runs Fluxaro's main job on the bundled default.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build_dir=${BUILD_DIR:-build}
"$build_dir/bin/fluxaro" --facts
