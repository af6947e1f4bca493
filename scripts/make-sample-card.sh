#!/usr/bin/env bash
# Makes a sample camcorder card: an AVCHD folder with four short shots, one recording that the
# camcorder split into three pieces, and a playlist holding their play items, entry marks and
# recording dates, laid out as camcorders write it.
#   00001.MTS  1920x1080 at 50 progressive frames/s, H.264, AC-3 sound that starts 0.4 s before
#              the video (recorded 2024-05-18 10:15:30)
#   00002.MTS  1280x720 at 25 frames/s (recorded 2024-05-18 10:20:05)
#   00003.MTS  1920x1080 at 100 frames/s, for slow motion (recorded 2024-05-18 10:31:44)
#   00004.MTS, 00005.MTS, 00006.MTS
#              one 1280x720 25 frames/s recording (2024-05-18 10:40:00) of SECONDS, cut into
#              three stream files as a camera on a FAT card cuts a long recording (00005.MTS
#              begins with the last group of pictures of 00004.MTS again; 00006.MTS goes on
#              from a packet in the middle of a group of pictures); the playlist lists the
#              later pieces as continuations of the first (condition 6)
#   00007.MTS  1280x720 at 25 frames/s, a shot of its own after it (recorded 2024-05-18 10:45:10)
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
# one-second clips has three places to cut), cut into three pieces at transport-stream packets;
# a piece that begins at a key frame begins with the tables (PAT 0, SDT 17, PMT 4096) the muxer
# writes just before it.
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
key_start() { # the byte where key frame $1 begins, moved back over the tables before it
    local pts pos
    read -r pts pos <<<"${keys[$1]}"
    while [ "$pos" -ge 188 ] && [[ " 0 17 4096 " == *" $(pid_at $((pos - 188))) "* ]]; do
        pos=$((pos - 188))
    done
    [ "$1" -gt 0 ] || pos=0
    echo "$pos"
}
# Every picture's time and byte, in file order.
mapfile -t packets < <(ffprobe -v error -select_streams v:0 -show_entries packet=pts,pos \
    -of csv=p=0 -- "$whole" | awk -F, '$1 ~ /^[0-9]+$/ && $2 ~ /^[0-9]+$/ {print $1 "," $2}')
# Piece p presents from key frame p * count / 3 on. The first seam is cut as cameras that keep
# their groups of pictures whole do: 00005.MTS begins with the last group of 00004.MTS again,
# and its IN time skips it. The second as cameras that cut a file where it reaches the card's
# size limit: at the transport-stream packet half-way into the group of pictures before the
# key frame, wherever that falls in a picture; 00006.MTS goes on from there byte for byte and
# its IN time, the OUT time of 00005.MTS, is that of the first picture that begins in it.
starts=() ins=() froms=()
for piece in 0 1 2; do
    key=$((piece * count / 3))
    read -r pts pos <<<"${keys[$key]}"
    start=$(key_start "$key") in=$((pts / 2))
    if [ "$piece" -eq 2 ]; then
        before=$(key_start $((key - 1)))
        start=$((before + (start - before) / 188 / 2 * 188))
        for packet in "${packets[@]}"; do
            IFS=, read -r pts pos <<<"$packet"
            if [ "$pos" -ge "$start" ]; then
                in=$((pts / 2))
                break
            fi
        done
    fi
    starts+=("$start") ins+=("$in")
    if [ "$piece" -eq 1 ]; then
        froms+=("$(key_start $((key - 1)))")
    else
        froms+=("$start")
    fi
done
starts+=("$total")
first_pts=$(echo "${keys[0]}" | cut -d' ' -f1)
ins+=($(((first_pts + seconds * 90000) / 2)))
for piece in 0 1 2; do
    dd if="$whole" of="$bdmv/STREAM/0000$((piece + 4)).MTS" bs=188 status=none \
        skip=$((froms[piece] / 188)) count=$(((starts[piece + 1] - froms[piece]) / 188))
done
rm -f -- "$whole"

# A shot of the split recording's format, recorded after it.
make_clip 1280x720 25 "$seconds" 0 "$bdmv/STREAM/00007.MTS" 10 45 10

# The playlist by the format's layout, as camcorders write it: the header with the addresses
# of its sections; the application-info section (sequential playback); the PlayList section
# with one play item per stream file (length 80, clip name, "M2TS", connection condition: 1 the
# first shot, 5 a new shot, 6 a piece continuing the item before; in and out times in 45 kHz
# ticks; the user-operation mask, still fields; a stream table with the H.264 picture, PID
# 0x100, and the AC-3 stereo sound, PID 0x101); the PlayListMark section with an entry mark at
# each shot's first item; the extension data with one entry, the PLEX data: the playlist's
# block (maker, model, no thumbnail FF FF, zone byte 1E, the first shot's date) and one 66-byte
# mark extension per mark (maker, model, flags, the clip number's hundreds, two reserved bytes,
# its last two digits, zone byte, date in BCD, name, maker's data and timecode), which
# clipdater finds by the start marker FF FF 1E 20 and the record marker 1E 20.
u8() { printf "\\$(printf %03o $(($1 & 255)))"; }
u16() { u8 $(($1 >> 8)); u8 "$1"; }
u32() { u16 $(($1 >> 16)); u16 $(($1 & 65535)); }
zeros() { head -c "$1" /dev/zero; }
stream() { # pid coding format-and-rate language-or-empty
    u8 9; u8 1; u16 "$1"; zeros 6; u8 5; u8 "$2"; u8 "$3"
    if [ -n "$4" ]; then printf '%s' "$4"; else zeros 3; fi
}
item() { # clip connection in out format-and-rate
    u16 80; printf '%05d' "$1"; printf 'M2TS'; u16 "$2"; u8 0; u32 "$3"; u32 "$4"
    zeros 12; u16 46; zeros 2; u8 1; u8 1; zeros 10
    stream 256 27 "$5" ""; stream 257 129 49 eng
}
mark() { # item in
    u8 0; u8 1; u16 "$1"; u32 "$2"; u16 65535; u32 0
}
date_bytes() { # yy mm dd hh mi ss (BCD, as hex)
    printf "\\x1e\\x20\\x$1\\x$2\\x$3\\x$4\\x$5\\x$6"
}
mark_extension() { # clip-high clip-low yy mm dd hh mi ss (hex)
    u16 259; u16 1; u16 0; printf "\\x$1\\x00\\x00\\x$2"; date_bytes "$3" "$4" "$5" "$6" "$7" "$8"
    zeros 48
}
length=$((seconds * 45000))
# item: clip, condition, in, out, format and rate (1080p 6, 720p 5; 50/s 6, 25/s 3, none 0)
items=7 marks=5
list_start=58
marks_start=$((list_start + 10 + 82 * items))
ext_start=$((marks_start + 6 + 14 * marks))
plex_length=$((34 + 66 * marks))
{
    printf 'MPLS0100'
    u32 "$list_start"; u32 "$marks_start"; u32 "$ext_start"; zeros 20
    u32 14; u8 0; u8 1; zeros 12
    u32 $((6 + 82 * items)); u16 0; u16 "$items"; u16 0
    item 1 1 63000 $((63000 + length)) 102
    item 2 5 63000 $((63000 + length)) 83
    item 3 5 63000 $((63000 + length)) 96
    item 4 5 "${ins[0]}" "${ins[1]}" 83
    item 5 6 "${ins[1]}" "${ins[2]}" 83
    item 6 6 "${ins[2]}" "${ins[3]}" 83
    item 7 5 63000 $((63000 + length)) 83
    u32 $((2 + 14 * marks)); u16 "$marks"
    mark 0 63000; mark 1 63000; mark 2 63000; mark 3 "${ins[0]}"; mark 6 63000
    u32 $((20 + plex_length)); u32 24; u32 1; u16 4096; u16 256; u32 24; u32 "$plex_length"
    printf 'PLEX0100'; u16 259; u16 1; u16 0
    printf '\xff\xff'; date_bytes 24 05 18 10 15 30; zeros 8
    u16 "$marks"
    mark_extension 00 01 24 05 18 10 15 30
    mark_extension 00 02 24 05 18 10 20 05
    mark_extension 00 03 24 05 18 10 31 44
    mark_extension 00 04 24 05 18 10 40 00
    mark_extension 00 07 24 05 18 10 45 10
} >"$bdmv/PLAYLIST/00000.MPL"

echo "sample card: $card"
