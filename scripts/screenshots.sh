#!/usr/bin/env bash
# Pictures of the main window for docs/: idle, analysing a card (thumbnails arriving),
# converting, finished and the preferences, in English and in French, under Xvfb. Each
# language runs in a private home with the sample card (scripts/make-sample-card.sh).
#   usage: scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-${BUILD_DIR:-build}}
cmake --build "$build_dir" --target gui_screenshots fluxaro_resources clipdater trakmill presetQt
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
bash scripts/make-sample-card.sh "$work/card" 2 >/dev/null
for lang in en_US fr_FR; do
    home="$work/home-$lang"
    mkdir -p "$home"/{config,state,data,tmp,runtime}
    chmod 700 "$home/runtime"
    env -i PATH="$PATH" HOME="$home" LANG="$lang.UTF-8" LC_ALL="$lang.UTF-8" LANGUAGE="${lang%_*}" \
        XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" XDG_DATA_HOME="$home/data" \
        XDG_RUNTIME_DIR="$home/runtime" TMPDIR="$home/tmp" \
        FLUXARO_RESOURCE_DIR="$PWD/$build_dir/share/fluxaro" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
        "$build_dir/tests/gui_screenshots" "$PWD/docs" "$work/card" 2>"$work/log-$lang.txt" ||
        { tail -20 "$work/log-$lang.txt" >&2; exit 1; }
done
# Smaller files for the repository, when optipng is there (lossless).
if command -v optipng >/dev/null; then
    optipng -quiet -o2 docs/window-*.png
fi
