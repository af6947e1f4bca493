#!/bin/sh
# The main window and the help window on small screens, as a window manager places them:
# 1366x768, and 1600x1000 at a scale of 2 (800x500 for the window). Runs gui_fit_probe under
# Xvfb with openbox and reads each window's frame with xwininfo (the X server's own account,
# not Qt's) to check that it lies inside the screen. With SHOTS=folder, a picture of each
# screen is saved there (ImageMagick's import).
#   usage: fitUnderWindowManager.sh PROBE
set -eu
probe=$1
for tool in xvfb-run openbox xwininfo xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
work=$(mktemp -d "${TMPDIR:-/tmp}/fluxaro-fit-XXXXXX")
trap 'rm -rf "$work"' EXIT
# A private home: the probe reads and writes settings and logs like the program.
mkdir -p "$work/home" "$work/config" "$work/state" "$work/data" "$work/runtime" "$work/tmp"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
    XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp"

# The frame of a client window: its absolute place and size from xwininfo, grown by the frame
# extents the window manager announces (_NET_FRAME_EXTENTS, read with xprop).
cat >"$work/inside.sh" <<'INSIDE'
set -eu
info=$(xwininfo -id "$3")
x=$(echo "$info" | sed -n 's/.*Absolute upper-left X: *//p')
y=$(echo "$info" | sed -n 's/.*Absolute upper-left Y: *//p')
w=$(echo "$info" | sed -n 's/.*Width: *//p')
h=$(echo "$info" | sed -n 's/.*Height: *//p')
extents=$(xprop -id "$3" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
left=$(echo "${extents:-0,0,0,0}" | cut -d, -f1)
right=$(echo "${extents:-0,0,0,0}" | cut -d, -f2)
top=$(echo "${extents:-0,0,0,0}" | cut -d, -f3)
bottom=$(echo "${extents:-0,0,0,0}" | cut -d, -f4)
x=$((x - left)) y=$((y - top)) w=$((w + left + right)) h=$((h + top + bottom))
echo "frame of $3 (xwininfo, xprop): ${w}x${h}+${x}+${y} on ${1}x${2}, extents ${extents:-none}"
[ -n "$extents" ] && [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$1" ] && [ $((y + h)) -le "$2" ]
INSIDE

status=0
for case in "1366 768 1" "1600 1000 2"; do
    set -- $case
    width=$1 height=$2 scale=$3
    rm -f "$work/ready" "$work/done"
    cat >"$work/session.sh" <<SESSION
openbox --sm-disable >/dev/null 2>&1 &
sleep 1
QT_SCALE_FACTOR=$scale QT_QPA_PLATFORM=xcb "$probe" "$work/ready" "$work/done" >"$work/probe.txt" 2>"$work/probe-err.txt" &
probe=\$!
i=0
while [ ! -e "$work/ready" ] && [ \$i -lt 600 ]; do sleep 0.1; i=\$((i + 1)); done
ok=0
for id in \$(sed -n 's/^\(window\|help\)-id //p' "$work/probe.txt"); do
    sh "$work/inside.sh" $width $height \$id || ok=1
done
[ -n "\${SHOTS:-}" ] && command -v import >/dev/null && import -window root "\$SHOTS/fit-${width}x${height}.png" || true
touch "$work/done"
wait \$probe || ok=1
exit \$ok
SESSION
    echo "== ${width}x${height}, scale $scale"
    if ! xvfb-run -a -s "-screen 0 ${width}x${height}x24 -dpi 96" sh "$work/session.sh"; then
        status=1
    fi
    cat "$work/probe.txt"
    grep -v "^qt\.\|QStandardPaths" "$work/probe-err.txt" | tail -5 || true
done
exit $status
