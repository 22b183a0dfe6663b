#!/bin/sh
# Looks for damaged media files on which the metadata library never finishes:
# copies of the committed media get a few random bytes changed and are read with
# the mediainfo program under a time limit; copies that run out of time, and
# again under a limit ten times as long (a busy machine is slow, not looping),
# are kept in the output folder (default: ./looping).
#
#   find-looping-files.sh [TRIES] [OUTPUT-FOLDER]
#
# The files in damaged/ were found with it (libmediainfo 23.04 of Debian 12).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
tries=${1:-2000}
out=${2:-looping}
limit=5
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

random_below() {
    od -An -N4 -tu4 /dev/urandom | awk -v n="$1" '{ print $1 % n }'
}

i=0
while [ "$i" -lt "$tries" ]; do
    for source in "$here"/h264-aac.mp4 "$here/clip with spaces.mkv" "$here/vidéo ñ.mov" \
        "$here"/vp8-silent.webm; do
        name=$(basename "$source")
        copy="$work/$i-${name##*.}"
        cp "$source" "$copy"
        size=$(wc -c <"$copy")
        # In mp4 and mov the changes go into the index box ("moov"), whose
        # counts and sizes the parser trusts; elsewhere anywhere.
        first=0
        case "$name" in
            *.mp4 | *.mov)
                first=$(grep -obUa moov "$copy" | head -n 1 | cut -d: -f1)
                first=$((${first:-4} - 4))
                ;;
        esac
        changes=$(($(random_below 4) + 1))
        while [ "$changes" -gt 0 ]; do
            head -c 1 /dev/urandom |
                dd of="$copy" bs=1 seek="$((first + $(random_below $((size - first)))))" \
                    conv=notrunc status=none
            changes=$((changes - 1))
        done
        status=0
        timeout "$limit" mediainfo "$copy" >/dev/null 2>&1 || status=$?
        if [ "$status" -eq 124 ]; then
            status=0
            timeout $((limit * 10)) mediainfo "$copy" >/dev/null 2>&1 || status=$?
        fi
        if [ "$status" -eq 124 ]; then
            kept="$out/looping-$i.${name##*.}"
            cp "$copy" "$kept"
            echo "looping: $kept (from $name)"
        fi
        rm -f "$copy"
    done
    i=$((i + 1))
done
