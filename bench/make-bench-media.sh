#!/bin/sh
# Makes COUNT (default 1000) files of about 2 MB in FOLDER for the speed
# benchmarks: copies of six 10-second 640x360 clips, H.264/AAC in mp4, mkv, mov
# and ts, MPEG-4/MP3 in avi, VP8 in webm.
set -eu
folder=$1
count=${2:-1000}
originals="$folder.originals"
mkdir -p "$folder" "$originals"

ff() {
    ffmpeg -hide_banner -loglevel error -y "$@"
}
video="-f lavfi -i testsrc2=size=640x360:rate=25:duration=10"
tone="-f lavfi -i sine=frequency=440:sample_rate=48000:duration=10"
h264="-c:v libx264 -preset ultrafast -b:v 1400k -pix_fmt yuv420p"

for container in mp4 mkv mov ts; do
    ff $video $tone $h264 -c:a aac -b:a 128k -shortest "$originals/h264-aac.$container"
done
ff $video $tone -c:v mpeg4 -b:v 1400k -c:a libmp3lame -b:a 128k -shortest "$originals/mpeg4-mp3.avi"
ff $video -c:v libvpx -b:v 1500k -deadline realtime -cpu-used 8 -an "$originals/vp8.webm"

set -- "$originals"/*
i=0
while [ "$i" -lt "$count" ]; do
    for original in "$@"; do
        [ "$i" -lt "$count" ] || break
        cp "$original" "$folder/clip$(printf '%04d' "$i").${original##*.}"
        i=$((i + 1))
    done
done
