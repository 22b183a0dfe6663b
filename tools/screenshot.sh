#!/usr/bin/env bash
# Takes the README's picture of the main window: builds Quorvid, starts it on a
# private X server (Xvfb) in a fresh home folder whose ~/Videos holds the sample
# files, adds them through the file dialog as a user would, extracts them and
# captures the window.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

user_home=/home/sam

# Runs in a mount namespace of its own, with an empty /home mounted over the
# real one, so the picture shows an ordinary user's folder.
take_picture() {
    local scratch=$1
    # This checkout may itself live under /home: reach the build through scratch.
    mkdir "$scratch/build"
    mount --bind "$QUORVID_PROGRAM_BUILD" "$scratch/build"
    mount -t tmpfs tmpfs /home
    mkdir -p "$user_home/Videos"
    cp "$scratch"/samples/* "$user_home/Videos/"

    local display=":$((90 + RANDOM % 100))"
    trap 'kill "${app_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true' EXIT
    Xvfb "$display" -screen 0 800x700x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    # Started from the home folder, as a desktop starts it: the file dialog opens there.
    (cd "$user_home" && exec env -u XDG_CONFIG_HOME HOME="$user_home" DISPLAY="$display" \
        "$scratch/build/quorvid" >/dev/null 2>&1) &
    app_pid=$!

    # The splash may show first; wait for the main window.
    local window=""
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
    click() { DISPLAY="$display" xdotool mousemove --window "$window" "$1" "$2" click 1; }
    keys() { DISPLAY="$display" xdotool "$@"; sleep 1; }
    # "Add Video File/s": go to ~/Videos in the dialog, show all files (the
    # video filter leaves out .mkv and .webm) and pick every sample.
    click 136 230
    sleep 2
    keys type --delay 20 "$user_home/Videos"
    keys key Return
    keys key Tab Down
    keys key shift+Tab
    local names=""
    local sample
    for sample in "$user_home"/Videos/*; do
        names+="\"$(basename "$sample")\" "
    done
    keys type --delay 20 "$names"
    keys key Return
    # Extract, then close "Done.".
    click 268 297
    sleep 3
    keys key Return
    DISPLAY="$display" import -window "$window" "$scratch/screenshot.png"
}

if [ "${1:-}" = --in-private-home ]; then
    take_picture "$2"
    exit 0
fi

quorvid_install_missing "${quorvid_build_packages[@]}" "${quorvid_runtime_packages[@]}" \
    xvfb xdotool imagemagick
quorvid_build_programs

output="${1:-$QUORVID_ROOT/docs/screenshot.png}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/samples"
cp "$QUORVID_ROOT"/beside/Samples/* "$scratch/samples/"
namespace=(unshare --mount --propagation private)
if [ "$(id -u)" -ne 0 ]; then
    namespace+=(--map-root-user)
fi
"${namespace[@]}" bash "${BASH_SOURCE[0]}" --in-private-home "$scratch"
cp "$scratch/screenshot.png" "$output"
echo "Saved $output"
