#!/usr/bin/env bash
# Builds the Debian package in a release build directory of its own (the first argument, else
# ./build-release; the packages go to its package/ folder, or the second argument) and prints
# the package's path on the last line. Installs nothing: scripts/package.sh installs the build
# dependencies first, the package test calls this directly.
#
# The release build: Debian's compiler and linker flags (dpkg-buildflags with every hardening
# feature: stack protector, _FORTIFY_SOURCE with -O2, RELRO and BIND_NOW; PIE is the compiler's
# default), warnings as errors, the application's self-update compiled out (the package manager
# updates a packaged copy), no tests or benchmarks. CPack splits each program's debug symbols
# into the fluxaro-dbgsym package.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(realpath -m "${1:-$src/build-release}")
out_dir=$(realpath -m "${2:-$build_dir/package}")
# dpkg-buildflags maps the current folder to "." in the debug information.
cd "$src"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cflags="$(dpkg-buildflags --get CFLAGS) $cppflags"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $cppflags"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
  -DFLUXARO_WERROR=ON -DFLUXARO_TESTS=OFF -DFLUXARO_BENCH=OFF -DFLUXARO_ASAN_TESTS=OFF \
  -DFLUXARO_APP_UPDATE=OFF >&2
cmake --build "$build_dir" -j"${FLUXARO_JOBS:-2}" >&2
rm -rf "$out_dir/_CPack_Packages"
mkdir -p "$out_dir"
rm -f "$out_dir"/fluxaro_*.deb "$out_dir"/fluxaro-dbgsym_*.ddeb
cpack --config "$build_dir/CPackConfig.cmake" -B "$out_dir" >&2
ls "$out_dir"/fluxaro_*.deb
