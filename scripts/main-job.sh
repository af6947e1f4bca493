#!/usr/bin/env bash
# Installs, builds and runs Fluxaro's main job on the bundled default: a sample camcorder card
# (four shots, one recording split into three pieces, and a playlist with their play items,
# entry marks and recording dates) converted with `fluxaro --batch` into five movies.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what the job runs: the three programs, the resource folder and its export settings. The
# test command's build in the same folder reuses them.
bash scripts/build.sh fluxaro trakmill clipdater fluxaro_resources presetQt
build_dir=${BUILD_DIR:-build}
"$build_dir/bin/fluxaro" --facts

card="$build_dir/sample-card"
dest="$build_dir/sample-output"
bash scripts/make-sample-card.sh "$card" 3
mkdir -p "$dest"
status=0
"$build_dir/bin/fluxaro" --batch "$card" --dest "$dest" --format rewrap --mode slow --replace \
    2>/dev/null || status=$?

echo
echo "outputs in $dest/fluxaro events:"
for movie in "$dest/fluxaro events"/*.mov; do
    [ -e "$movie" ] || continue
    echo "  $(basename "$movie")"
    ffprobe -v error -show_entries stream=codec_type,codec_name,codec_tag_string,width,height,r_frame_rate,sample_rate,channels:format=duration \
        -of compact=p=0 "$movie" | sed 's/^/    /'
done
exit "$status"
