#!/usr/bin/env bash
# Builds the Debian package of Fluxaro and prints its path on the last line.
# Installs the Debian packages first, builds the programs and the resource folder into ./build
# (or $BUILD_DIR) in release mode for the package, lets CPack's DEB generator lay out /usr from
# the install rules (stripped programs, dependencies from dpkg-shlibdeps), then checks the
# package with lintian: any error fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DFLUXARO_WERROR=ON >&2
cmake --build "$build_dir" -j2 --target fluxaro trakmill clipdater presetQt fluxaro_resources \
  fluxaro_docs >&2
out_dir="$build_dir/package"
rm -rf "$out_dir/_CPack_Packages"
cpack --config "$build_dir/CPackConfig.cmake" -B "$out_dir" >&2
deb=$(ls -t "$out_dir"/fluxaro_*.deb | head -n 1)
lintian --fail-on error "$deb" >&2
realpath "$deb"
