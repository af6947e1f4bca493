#!/bin/sh
# The Open panel on a real X display with a window manager: a folder and a file selected
# together, typed into the panel's name field with xdotool and opened with Return, are both
# answered (Qt's own panel would enter the folder and drop the file).
#   usage: openPanelUnderX.sh PROBE
set -eu
probe=$1
for tool in xvfb-run openbox xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
work=$(mktemp -d "${TMPDIR:-/tmp}/fluxaro-open-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/config" "$work/state" "$work/runtime" "$work/shoot/card"
chmod 700 "$work/runtime"
printf 'x' >"$work/shoot/a.MTS"
printf 'x' >"$work/shoot/b.MTS"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
    XDG_RUNTIME_DIR="$work/runtime"
cat >"$work/session.sh" <<SESSION
openbox --sm-disable >/dev/null 2>&1 &
sleep 1
QT_QPA_PLATFORM=xcb "$probe" "$work/shoot" >"$work/probe.txt" 2>"$work/probe-err.txt" &
probe=\$!
i=0
while ! grep -q panel-open "$work/probe.txt" && [ \$i -lt 100 ]; do sleep 0.1; i=\$((i + 1)); done
sleep 1
panel=\$(xdotool search --onlyvisible --name '^Open\$' | tail -1)
[ -n "\$panel" ] || { echo "FAIL no Open panel"; kill \$probe; exit 1; }
xdotool windowactivate --sync "\$panel" 2>/dev/null || xdotool windowfocus --sync "\$panel"
sleep 0.5
xdotool type --delay 20 '"card" "a.MTS" "b.MTS"'
xdotool key Return
i=0
while kill -0 \$probe 2>/dev/null && [ \$i -lt 100 ]; do sleep 0.1; i=\$((i + 1)); done
if kill -0 \$probe 2>/dev/null; then
    echo "FAIL the panel is still open (it entered the folder?)"
    kill \$probe
    exit 1
fi
wait \$probe
SESSION
status=0
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" sh "$work/session.sh" || status=1
cat "$work/probe.txt"
for path in "$work/shoot/card" "$work/shoot/a.MTS" "$work/shoot/b.MTS"; do
    if grep -q -x -F "chosen $path" "$work/probe.txt"; then
        echo "ok   $path"
    else
        echo "FAIL $path was not answered"
        status=1
    fi
done
[ "$status" = 0 ] || grep -v "^qt\.\|QStandardPaths" "$work/probe-err.txt" | tail -5 || true
exit "$status"
