#!/bin/sh
# The window's accessibility tree as a screen reader reads it: gui_atspi_probe shows the
# window under Xvfb with a session bus and the AT-SPI bus, gui_atspi_walk reads the tree over
# D-Bus, and each control a person runs a batch with must be there with its role and name.
#   usage: atspiTree.sh PROBE WALKER
set -eu
probe=$1 walker=$2
launcher=
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && launcher=$candidate && break
done
if [ "${FLUXARO_ATSPI_INNER:-}" != 1 ]; then
    for tool in xvfb-run dbus-run-session gdbus; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is missing (scripts/install-deps.sh installs it)"
            exit 77
        fi
    done
    if [ -z "$launcher" ]; then
        echo "skipped: the AT-SPI bus launcher (at-spi2-core) is missing"
        exit 77
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/fluxaro-atspi-XXXXXX")
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/home" "$work/config" "$work/state" "$work/data" "$work/runtime" "$work/tmp"
    chmod 700 "$work/runtime"
    HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
        XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
        FLUXARO_ATSPI_INNER=1 WORK="$work" \
        xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- sh "$0" "$probe" "$walker"
    exit $?
fi

# Inside the session: the accessibility bus, the window, its tree.
export TMPDIR="$WORK/tmp"
"$launcher" --launch-immediately &
launcherPid=$!
trap 'kill "$launcherPid" 2>/dev/null || true' EXIT
address=
for _ in $(seq 1 50); do
    address=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress 2>/dev/null | sed -n "s/^('\(.*\)',)\$/\1/p")
    [ -n "$address" ] && break
    sleep 0.1
done
[ -n "$address" ] || { echo "FAIL no accessibility bus"; exit 1; }
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    "$probe" "$WORK/ready" "$WORK/done" >"$WORK/probe.txt" 2>&1 &
probePid=$!
for _ in $(seq 1 150); do
    [ -f "$WORK/ready" ] && break
    sleep 0.2
done
[ -f "$WORK/ready" ] || { echo "FAIL the window did not come up"; cat "$WORK/probe.txt"; exit 1; }
status=0
"$walker" "$address" >"$WORK/tree.txt" || status=1
touch "$WORK/done"
wait "$probePid" || status=1
echo "== accessibility tree ($(wc -l <"$WORK/tree.txt") objects)"

# One line per object: role name, name, checked.
expect() {
    if grep -q -x -F "$1" "$WORK/tree.txt"; then
        echo "ok   $1"
    else
        echo "FAIL $1"
        status=1
    fi
}
refuse() {
    if grep -q -F "$1" "$WORK/tree.txt"; then
        echo "FAIL found $1"
        status=1
    else
        echo "ok   not $1"
    fi
}
tab=$(printf '\t')
expect "push button${tab}Pause${tab}-"
expect "push button${tab}Stop${tab}-"
expect "push button${tab}Convert${tab}-"
expect "push button${tab}Stop the analysis${tab}-"
expect "progress bar${tab}Batch progress${tab}-"
expect "radio button${tab}Rewrap${tab}checked"
expect "radio button${tab}AIC${tab}-"
expect "radio button${tab}Slow motion${tab}checked"
expect "radio button${tab}Dark${tab}-"
expect "alert message${tab}The disk is full${tab}-"
refuse "check box${tab}Pause"
refuse "check box${tab}Convert"
refuse "check box${tab}Rewrap"
# The "Save to" field and the groups of choices are named.
if grep -q "${tab}Save to${tab}" "$WORK/tree.txt"; then echo "ok   Save to"; else echo "FAIL Save to"; status=1; fi
if grep -q "${tab}Format:${tab}" "$WORK/tree.txt"; then echo "ok   Format group"; else echo "FAIL Format group"; status=1; fi
# A group shows one choice: one checked radio button among the rates.
checked=$(grep -E -c "^radio button${tab}(Normal|½ rate|Slow motion)${tab}checked\$" "$WORK/tree.txt" || true)
if [ "$checked" = 1 ]; then echo "ok   one rate is checked"; else echo "FAIL $checked rates checked"; status=1; fi
[ "$status" = 0 ] || cat "$WORK/tree.txt"
exit "$status"
