#!/usr/bin/env bash
# The Release window on a private X server, clicked as a person would: a program
# folder whose Samples are the given clips, a click on "Load Sample/Example
# Files", one on "Start Extracting Metadata", and the time until "Done." shows;
# rounds alternate with the mediainfo program over the same files. Prints the
# seconds of each, their ratio, and the window process's processor time a row
# and peak memory.
#
#   bench/window_under_xvfb.sh [BUILD-FOLDER] [CLIP-FOLDER] [ROUNDS]
#
# BUILD-FOLDER defaults to build-run, CLIP-FOLDER to the large clips that
# build/bench/bench_window makes (/tmp/quorvid-bench-media/large). With
# QUORVID_XVFB_PERF=FILE each round's run of the window is recorded by perf
# into FILE.1, FILE.2, ...
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build-run}" && pwd)"
clips="$(cd "${2:-/tmp/quorvid-bench-media/large}" && pwd)"
rounds="${3:-2}"
for tool in Xvfb xdotool mediainfo; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

scratch="$(mktemp -d)"
display=":$((200 + RANDOM % 100))"
cleanup() {
    kill "${app_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/program" "$scratch/home"
cp "$build/quorvid" "$build/quorvid-extractor" "$scratch/program/"
# The skin, cursors and splash as installed; the clips as the samples.
for beside in Splash x HAND-M.CUR drag.ico; do
    if [ -e "$root/beside/$beside" ]; then
        cp -r "$root/beside/$beside" "$scratch/program/"
    fi
done
ln -s "$clips" "$scratch/program/Samples"
count="$(find "$clips/" -maxdepth 1 -type f ! -name '.*' | wc -l)"

# The same library fields as a row, for the mediainfo program.
template="$scratch/template.txt"
fields() {
    grep -o "StreamKind::$1, L\"[^\"]*\"" "$root/src/core/extraction/FieldCatalogue.cpp" |
        sed 's/.*L"\(.*\)"/%\1%/' | paste -sd'|'
}
printf 'General;%s\\n\nVideo;%s\\n\nAudio;%s\\n\n' "$(fields General)" "$(fields Video)" \
    "$(fields Audio)" >"$template"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
export DISPLAY="$display"

processor_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

# Waits for a visible window titled Quorvid: the main window (of its size), or
# with "box" any other one, a message box; prints its id.
wait_for_window() {
    local kind=$1 limit=$2 window
    local deadline=$(($(date +%s) + limit))
    while [ "$(date +%s)" -lt "$deadline" ]; do
        for window in $(xdotool search --onlyvisible --name '^Quorvid$' 2>/dev/null); do
            if [ "$kind" = box ]; then
                if [ "$window" != "$main_window" ]; then
                    echo "$window"
                    return 0
                fi
            elif xdotool getwindowgeometry "$window" 2>/dev/null | grep -q 'Geometry: 536x596'; then
                echo "$window"
                return 0
            fi
        done
        sleep 0.02
    done
    return 1
}

(cd "$scratch/home" && exec env -u XDG_CONFIG_HOME HOME="$scratch/home" \
    "$scratch/program/quorvid" >/dev/null 2>"$scratch/window.err") &
app_pid=$!
main_window="$(wait_for_window main 60)" || { echo "no main window" >&2; exit 1; }
sleep 1
# "Load Sample/Example Files", and No to opening their folder.
xdotool mousemove --window "$main_window" 400 263 click 1
wait_for_window box 120 >/dev/null || { echo "the samples did not load" >&2; exit 1; }
xdotool key Escape
sleep 1
echo "$count clips in $clips; $(nproc) processors; load average $(cut -d' ' -f1-3 /proc/loadavg)"

tick="$(getconf CLK_TCK)"
best_window=1e9
best_mediainfo=1e9
for round in $(seq 1 "$rounds"); do
    if [ -n "${QUORVID_XVFB_PERF:-}" ]; then
        perf record -q -p "$app_pid" -e cpu-clock -F 1000 --call-graph dwarf,16384 \
            -o "$QUORVID_XVFB_PERF.$round" >/dev/null 2>&1 &
        perf_pid=$!
        sleep 1
    fi
    before="$(processor_ticks "$app_pid")"
    server_before="$(processor_ticks "$xvfb_pid")"
    start="$(now)"
    xdotool mousemove --window "$main_window" 268 298 click 1
    # Looking for the box many times a second would take the processor from the
    # run; the run's helpers end just before it shows, and waiting for one of
    # them to end costs next to nothing.
    helper=""
    while [ -z "$helper" ]; do
        helper="$(pgrep -P "$app_pid" -x quorvid-extract | head -n 1 || true)"
        [ -n "$helper" ] || sleep 0.01
    done
    tail -s 0.02 --pid="$helper" -f /dev/null
    box="$(wait_for_window box 3600)" || { echo "no Done. box" >&2; exit 1; }
    if [ -n "${QUORVID_XVFB_DEBUG:-}" ]; then
        xdotool getwindowgeometry "$box" >&2
        xdotool getwindowname "$box" >&2
    fi
    end="$(now)"
    after="$(processor_ticks "$app_pid")"
    server_after="$(processor_ticks "$xvfb_pid")"
    if [ -n "${perf_pid:-}" ]; then
        kill -INT "$perf_pid"
        wait "$perf_pid" || true
        perf_pid=""
    fi
    seconds="$(calc "$end - $start")"
    per_row="$(calc "($after - $before) * 1000 / $tick / $count")"
    printf 'window round %d: %.2f s (%.0f files/s), window process %.3f ms processor a row, X server %.2f s processor\n' \
        "$round" "$seconds" "$(calc "$count / $seconds")" "$per_row" \
        "$(calc "($server_after - $server_before) / $tick")"
    xdotool key Return
    sleep 1
    best_window="$(calc "$seconds < $best_window ? $seconds : $best_window")"

    start="$(now)"
    find "$clips/" -maxdepth 1 -type f ! -name '.*' -print0 | sort -z |
        xargs -0 mediainfo --Output="file://$template" >/dev/null
    end="$(now)"
    seconds="$(calc "$end - $start")"
    printf 'mediainfo round %d: %.2f s\n' "$round" "$seconds"
    best_mediainfo="$(calc "$seconds < $best_mediainfo ? $seconds : $best_mediainfo")"
done
peak="$(sed -n 's/VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$app_pid/status")"
printf 'best: window %.2f s, mediainfo %.2f s; ratio window/mediainfo %.2f (target at least 1.8); window peak resident %d MB\n' \
    "$best_window" "$best_mediainfo" "$(calc "$best_mediainfo / $best_window")" \
    "$((peak / 1024))"
