#!/usr/bin/env bash
# Takes the README's picture of the main window: builds Quorvid, starts it on a
# private X server (Xvfb) with a fresh settings folder, extracts the sample
# files and captures the window.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

quorvid_install_missing "${quorvid_build_packages[@]}" "${quorvid_runtime_packages[@]}" xvfb xdotool imagemagick
quorvid_build_programs

output="${1:-$QUORVID_ROOT/docs/screenshot.png}"
display=":$((90 + RANDOM % 100))"
scratch="$(mktemp -d)"
trap 'kill "${app_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true; rm -rf "$scratch"' EXIT

Xvfb "$display" -screen 0 800x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY="$display" XDG_CONFIG_HOME="$scratch" "$QUORVID_PROGRAM_BUILD/quorvid" >/dev/null 2>&1 &
app_pid=$!

# The splash may show first; wait for the main window.
window=""
for _ in $(seq 1 40); do
    window="$(DISPLAY="$display" xdotool search --onlyvisible --name '^Quorvid$' 2>/dev/null | tail -n 1 || true)"
    if [ -n "$window" ] && DISPLAY="$display" xdotool getwindowgeometry "$window" | grep -q '536x596'; then
        break
    fi
    window=""
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "The main window did not appear." >&2
    exit 1
fi
sleep 0.5
# Load the samples (No to the folder question), extract them, close "Done.".
click() { DISPLAY="$display" xdotool mousemove --window "$window" "$1" "$2" click 1; }
click 400 263
sleep 1
DISPLAY="$display" xdotool key Escape
sleep 0.5
click 268 297
sleep 3
DISPLAY="$display" xdotool key Return
sleep 0.5
DISPLAY="$display" import -window "$window" "$output"
echo "Saved $output"
