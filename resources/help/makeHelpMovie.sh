#!/bin/sh
# Makes the help movie: one slide per step of a conversion (drop, choose, convert, find the
# outputs), each with the program's own words in one language, and two subtitle tracks, English
# first, then French; the track of the slides' language is the default one, so a player shows
# it from the first second. Usage: makeHelpMovie.sh FFMPEG FONT OUTPUT.m4v [en|fr]
set -eu
ffmpeg=$1
font=$2
output=$3
language=${4:-en}
work=$(mktemp -d "${TMPDIR:-/tmp}/fluxaro-help-XXXXXX")
trap 'rm -rf "$work"' EXIT

seconds=4
slide() { # number, title, text
    printf '%s' "$2" >"$work/title$1.txt"
    printf '%s' "$3" >"$work/text$1.txt"
    "$ffmpeg" -nostdin -loglevel error -y -f lavfi \
        -i "color=c=0x1e2a38:s=640x360:r=10:d=$seconds" \
        -vf "drawtext=fontfile=$font:textfile=$work/title$1.txt:fontcolor=white:fontsize=34:x=(w-text_w)/2:y=90,drawtext=fontfile=$font:textfile=$work/text$1.txt:fontcolor=0xc8d6e5:fontsize=22:x=(w-text_w)/2:y=170:line_spacing=8" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p "$work/slide$1.mp4"
    echo "file '$work/slide$1.mp4'" >>"$work/list.txt"
}

# The words are the window's: the button is "Convert" ("Convertir"), the rows are clips
# ("séquences") of the batch ("lot").
if [ "$language" = fr ]; then
    slide 1 "1. Déposer" "Déposez des séquences de caméscope, des dossiers
ou une carte sur la fenêtre de Fluxaro ou son icône."
    slide 2 "2. Choisir" "Pour chaque séquence, choisissez le format :
Tel quel, Apple Intermediate Codec ou ProRes,
et la cadence : normale, ½ cadence ou ralenti."
    slide 3 "3. Convertir" "Appuyez sur Convertir.
La barre suit chaque séquence ;
mettez en pause ou arrêtez à tout moment."
    slide 4 "4. Retrouver" "Les films arrivent dans le dossier « fluxaro events »
de la destination, nommés par date d'enregistrement."
else
    slide 1 "1. Drop" "Drop camcorder clips, folders or a card
on the Fluxaro window or its icon."
    slide 2 "2. Choose" "For each clip, choose the format:
Rewrap, Apple Intermediate Codec or ProRes,
and the frame rate: normal, ½ rate or slow motion."
    slide 3 "3. Convert" "Press Convert. The progress bar follows each clip;
pause or stop at any time."
    slide 4 "4. Find" "The movies land in the folder \"fluxaro events\"
of the destination, named by recording date."
fi

cue() { # number, start, text
    printf '%d\n00:00:%02d,000 --> 00:00:%02d,800\n%s\n\n' "$1" "$2" $(($2 + seconds - 1)) "$3"
}
{
    cue 1 0 "Drop your clips on the window."
    cue 2 4 "Choose the format and the frame rate of each clip."
    cue 3 8 "Press Convert to convert the batch."
    cue 4 12 "Find the movies in the folder \"fluxaro events\"."
} >"$work/en.srt"
{
    cue 1 0 "Déposez vos séquences sur la fenêtre."
    cue 2 4 "Choisissez le format et la cadence de chaque séquence."
    cue 3 8 "Appuyez sur Convertir pour convertir le lot."
    cue 4 12 "Retrouvez les films dans le dossier « fluxaro events »."
} >"$work/fr.srt"

if [ "$language" = fr ]; then
    defaults="-disposition:s:0 0 -disposition:s:1 default"
else
    defaults="-disposition:s:0 default -disposition:s:1 0"
fi
# shellcheck disable=SC2086 # the dispositions are separate arguments
"$ffmpeg" -nostdin -loglevel error -y -f concat -safe 0 -i "$work/list.txt" \
    -i "$work/en.srt" -i "$work/fr.srt" \
    -map 0:v -map 1 -map 2 -c:v copy -c:s mov_text \
    -metadata:s:s:0 language=eng -metadata:s:s:0 title=English \
    -metadata:s:s:1 language=fra -metadata:s:s:1 title=Français \
    $defaults -f mp4 "$work/help.m4v"
mv "$work/help.m4v" "$output"
