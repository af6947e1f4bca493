#!/usr/bin/env bash
# Builds the Debian package of Fluxaro and prints its path on the last line.
# Installs the Debian packages first, then builds the release tree of the package in
# ./build-release (or $BUILD_DIR) with scripts/build-package.sh: Debian's hardening flags, the
# self-update compiled out, the debug symbols in fluxaro-dbgsym beside the package. Checks the
# package with lintian (any error or warning fails the script) and the programs with
# hardening-check (control-flow protection, -fcf-protection, is not among Debian 12's flags).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2
build_dir=${BUILD_DIR:-build-release}
deb=$(bash scripts/build-package.sh "$build_dir" | tail -n 1)
lintian --fail-on error,warning "$deb" >&2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
hardening-check --nocfprotection "$root"/usr/bin/fluxaro "$root"/usr/bin/trakmill "$root"/usr/bin/clipdater >&2
realpath "$deb"
