#!/usr/bin/env bash
# Makes a sample camcorder card: an AVCHD folder with three short clips and a playlist holding
# their recording dates.
#   00001.MTS  1920x1080 at 50 progressive frames/s, H.264, AC-3 sound that starts 0.4 s before
#              the video (recorded 2024-05-18 10:15:30)
#   00002.MTS  1280x720 at 25 frames/s (recorded 2024-05-18 10:20:05)
#   00003.MTS  1920x1080 at 100 frames/s, for slow motion (recorded 2024-05-18 10:31:44)
#
# usage: scripts/make-sample-card.sh CARD_FOLDER [SECONDS]
# The ffmpeg program is $FFMPEG (default /usr/bin/ffmpeg). An existing card folder is replaced.
set -euo pipefail

card=${1:?usage: make-sample-card.sh CARD_FOLDER [SECONDS]}
seconds=${2:-3}
ffmpeg=${FFMPEG:-/usr/bin/ffmpeg}

bdmv="$card/PRIVATE/AVCHD/BDMV"
rm -rf -- "$card"
mkdir -p -- "$bdmv/PLAYLIST" "$bdmv/CLIPINF" "$bdmv/STREAM"
printf 'INDX0100' >"$bdmv/INDEX.BDM"
printf 'MOBJ0100' >"$bdmv/MOVIEOBJ.BDM"

# One clip: size, rate, seconds, where the video starts after the sound, output.
make_clip() {
    local size=$1 rate=$2 length=$3 delay=$4 out=$5
    "$ffmpeg" -nostdin -v error -y \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$length" \
        -itsoffset "$delay" -f lavfi -i "testsrc2=size=$size:rate=$rate:duration=$length" \
        -map 1:v -map 0:a \
        -c:v libx264 -preset ultrafast -tune zerolatency -pix_fmt yuv420p -g "$rate" \
        -c:a ac3 -b:a 192k -ac 2 \
        -f mpegts "$out"
}

make_clip 1920x1080 50 "$seconds" 0.4 "$bdmv/STREAM/00001.MTS"
make_clip 1280x720 25 "$seconds" 0 "$bdmv/STREAM/00002.MTS"
make_clip 1920x1080 100 "$seconds" 0 "$bdmv/STREAM/00003.MTS"

# The playlist: header, start marker FF FF 1E 20, then per clip its number (hundreds, two
# fillers, last two digits), the record marker 1E 20, the date as six BCD bytes (year in the
# century, month, day, hour, minute, second) and four fillers; a short tail.
record() { # clip-high clip-low yy mm dd hh mi ss (hex)
    printf "\\x$1\\x00\\x00\\x$2\\x1e\\x20\\x$3\\x$4\\x$5\\x$6\\x$7\\x$8\\x00\\x00\\x00\\x00"
}
{
    printf 'MPLS0100'
    head -c 24 /dev/zero
    printf '\xff\xff\x1e\x20'
    record 00 01 24 05 18 10 15 30
    record 00 02 24 05 18 10 20 05
    record 00 03 24 05 18 10 31 44
    printf '\x01\x01\x01\x01\x01\x01'
} >"$bdmv/PLAYLIST/00000.MPL"

echo "sample card: $card"
