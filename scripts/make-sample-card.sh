#!/usr/bin/env bash
# Makes a sample camcorder card: an AVCHD folder with three short clips, one recording that the
# camcorder split into three pieces, and a playlist holding their play items and recording
# dates.
#   00001.MTS  1920x1080 at 50 progressive frames/s, H.264, AC-3 sound that starts 0.4 s before
#              the video (recorded 2024-05-18 10:15:30)
#   00002.MTS  1280x720 at 25 frames/s (recorded 2024-05-18 10:20:05)
#   00003.MTS  1920x1080 at 100 frames/s, for slow motion (recorded 2024-05-18 10:31:44)
#   00004.MTS, 00005.MTS, 00006.MTS
#              one 1280x720 25 frames/s recording (2024-05-18 10:40:00) of SECONDS, cut at key
#              frames into three stream files as a camera on a FAT card cuts a long recording;
#              the playlist lists the later pieces as seamless continuations of the first
# Every clip's key frames carry the camcorder's MDPM message, which says that the camera's clock
# was set to +01:00 with summer time in force (+02:00), so the outputs' UTC times are 08:15:30
# and so on whatever the zone of the machine that converts them.
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

# The SEI message of a camcorder's MDPM data, as hex: payload type 5 (user data unregistered),
# its size, the MDPM UUID, "MDPM", two entries, tag 0x18 (zone byte 0x42: +01:00 with summer
# time in force, that is +02:00; year 2024, month 05) and tag 0x19 (day 18, hour $1, minute $2,
# second $3 as BCD digits), and the stop bit.
mdpm_message_hex() {
    printf '051f17ee8c60f84d11d98cd60800200c9a664d44504d0218422024051918%s%s%s80' "$1" "$2" "$3"
}

# Puts the SEI NAL unit of the message given as hex before the first slice of every IDR picture
# (NAL type 5 whose first_mb_in_slice is 0, a first bit of 1) of the Annex B stream $2, where a
# camcorder writes it, with emulation-prevention bytes; writes the result to $3. (perl is part
# of every Debian system.)
insert_sei() {
    perl -0777 -pe '
        BEGIN {
            my ($rbsp, $escaped, $zeros) = (pack("H*", shift), "", 0);
            for my $c (split //, $rbsp) {
                if ($zeros >= 2 && ord($c) <= 3) { $escaped .= "\x03"; $zeros = 0 }
                $escaped .= $c;
                $zeros = ord($c) == 0 ? $zeros + 1 : 0;
            }
            our $sei = "\x00\x00\x01\x06" . $escaped;
        }
        s/(?=\x00\x00\x01\x65[\x80-\xff])/$sei/g' "$1" "$2" >"$3"
}

# One clip: size, rate, seconds, where the video starts after the sound, output, the time of
# its MDPM message (hh mm ss) and the frames between key frames (default: one second's). The
# picture is encoded to a raw H.264 stream, given the message, then muxed with the sound.
make_clip() {
    local size=$1 rate=$2 length=$3 delay=$4 out=$5 hh=$6 mm=$7 ss=$8 gop=${9:-$2}
    "$ffmpeg" -nostdin -v error -y \
        -f lavfi -i "testsrc2=size=$size:rate=$rate:duration=$length" \
        -c:v libx264 -preset ultrafast -tune zerolatency -pix_fmt yuv420p -g "$gop" \
        -f h264 "$out.raw.h264"
    insert_sei "$(mdpm_message_hex "$hh" "$mm" "$ss")" "$out.raw.h264" "$out.h264"
    # A raw stream has no time stamps to delay: the sound starts earlier instead.
    "$ffmpeg" -nostdin -v error -y \
        -itsoffset "-$delay" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$length" \
        -framerate "$rate" -i "$out.h264" -map 1:v -map 0:a -c:v copy \
        -c:a ac3 -b:a 192k -ac 2 \
        -f mpegts "$out"
    rm -f -- "$out.raw.h264" "$out.h264"
}

make_clip 1920x1080 50 "$seconds" 0.4 "$bdmv/STREAM/00001.MTS" 10 15 30
make_clip 1280x720 25 "$seconds" 0 "$bdmv/STREAM/00002.MTS" 10 20 05
make_clip 1920x1080 100 "$seconds" 0 "$bdmv/STREAM/00003.MTS" 10 31 44

# The spanned recording: one encode with a key frame every half second (so that even a card of
# one-second clips has three places to cut), cut into three pieces at the transport-stream
# packets of key frames, each piece beginning with the tables (PAT 0, SDT 17, PMT 4096) the
# muxer writes just before a key frame.
whole="$bdmv/STREAM/.whole.ts"
make_clip 1280x720 25 "$seconds" 0 "$whole" 10 40 00 12
pid_at() { # the PID of the packet at byte offset $1 of $whole
    local bytes
    read -r -a bytes < <(od -An -tu1 -j $(($1 + 1)) -N2 -- "$whole")
    echo $(((bytes[0] & 31) * 256 + bytes[1]))
}
mapfile -t keys < <(ffprobe -v error -select_streams v:0 -show_entries packet=pts,pos,flags \
    -of csv=p=0 -- "$whole" | awk -F, '$3 ~ /K/ {print $1 " " $2}')
total=$(stat -c %s -- "$whole")
count=${#keys[@]}
if [ "$count" -lt 3 ]; then
    echo "make-sample-card.sh: $seconds s give no three pieces to cut" >&2
    exit 1
fi
starts=() ins=()
for piece in 0 1 2; do
    read -r pts pos <<<"${keys[$((piece * count / 3))]}"
    while [ "$piece" -gt 0 ] && [ "$pos" -ge 188 ] &&
        [[ " 0 17 4096 " == *" $(pid_at $((pos - 188))) "* ]]; do
        pos=$((pos - 188))
    done
    [ "$piece" -gt 0 ] || pos=0
    starts+=("$pos") ins+=($((pts / 2)))
done
starts+=("$total")
first_pts=$(echo "${keys[0]}" | cut -d' ' -f1)
ins+=($(((first_pts + seconds * 90000) / 2)))
for piece in 0 1 2; do
    dd if="$whole" of="$bdmv/STREAM/0000$((piece + 4)).MTS" bs=188 status=none \
        skip=$((starts[piece] / 188)) count=$(((starts[piece + 1] - starts[piece]) / 188))
done
rm -f -- "$whole"

# The playlist by the format's layout: the header with the addresses of its sections, an empty
# application-info section, the PlayList section with one play item per stream file (clip
# name, "M2TS", connection condition: 1 begins a recording, 5 and 6 continue it; in and out
# times in 45 kHz ticks; an empty stream table), an empty mark section, and the extension data
# that holds the clip records clipdater reads: per clip its number (hundreds, two fillers, last
# two digits), the record marker 1E 20, the date as six BCD bytes (year in the century, month,
# day, hour, minute, second) and four fillers, after the start marker FF FF 1E 20.
u8() { printf "\\$(printf %03o $(($1 & 255)))"; }
u16() { u8 $(($1 >> 8)); u8 "$1"; }
u32() { u16 $(($1 >> 16)); u16 $(($1 & 65535)); }
zeros() { head -c "$1" /dev/zero; }
item() { # clip connection in out
    u16 48; printf '%05d' "$1"; printf 'M2TS'; u16 "$2"; u8 0; u32 "$3"; u32 "$4"
    zeros 12; u16 14; zeros 14
}
record() { # clip-high clip-low yy mm dd hh mi ss (hex)
    printf "\\x$1\\x00\\x00\\x$2\\x1e\\x20\\x$3\\x$4\\x$5\\x$6\\x$7\\x$8\\x00\\x00\\x00\\x00"
}
items=6
list_start=58
marks_start=$((list_start + 10 + 50 * items))
{
    printf 'MPLS0100'
    u32 "$list_start"; u32 "$marks_start"; u32 $((marks_start + 6)); zeros 20
    u32 14; zeros 14
    u32 $((6 + 50 * items)); u16 0; u16 "$items"; u16 0
    length=$((seconds * 45000))
    item 1 1 63000 $((63000 + length))
    item 2 1 63000 $((63000 + length))
    item 3 1 63000 $((63000 + length))
    item 4 1 "${ins[0]}" "${ins[1]}"
    item 5 5 "${ins[1]}" "${ins[2]}"
    item 6 6 "${ins[2]}" "${ins[3]}"
    u32 2; u16 0
    printf '\xff\xff\x1e\x20'
    record 00 01 24 05 18 10 15 30
    record 00 02 24 05 18 10 20 05
    record 00 03 24 05 18 10 31 44
    record 00 04 24 05 18 10 40 00
    record 00 05 24 05 18 10 40 00
    record 00 06 24 05 18 10 40 00
    printf '\x01\x01\x01\x01\x01\x01'
} >"$bdmv/PLAYLIST/00000.MPL"

echo "sample card: $card"
