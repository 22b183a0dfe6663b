#!/bin/sh
# Makes the small media files the extraction tests read, and the sample videos
# that ship beside the program. Run from anywhere; the results are committed.
# With --bench FOLDER it makes instead the benchmarks' clips of about 2 MB
# (10 seconds of 640x360) in FOLDER, which are not committed.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
samples="$here/../../beside/Samples"
mkdir -p "$samples"

# Bit-exact output without creation times or encoder tags, so a rerun on the
# same ffmpeg gives the same bytes.
ff() {
    ffmpeg -hide_banner -loglevel error -y "$@"
}
common="-map_metadata -1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact"
video="-f lavfi -i testsrc=size=64x48:rate=10:duration=1"
tone="-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1"
tone48="-f lavfi -i sine=frequency=440:sample_rate=48000:duration=1"

if [ "${1:-}" = "--bench" ]; then
    out=$2
    mkdir -p "$out"
    clip="-f lavfi -i testsrc2=size=640x360:rate=25:duration=10"
    tone10="-f lavfi -i sine=frequency=440:sample_rate=48000:duration=10"
    for container in mp4 mkv mov ts; do
        ff $clip $tone10 $common -c:v libx264 -preset veryfast -b:v 1500k -pix_fmt yuv420p \
            -c:a aac -b:a 128k -shortest "$out/h264-aac.$container"
    done
    ff $clip $tone10 $common -c:v mpeg4 -b:v 1500k -c:a libmp3lame -b:a 128k -shortest \
        "$out/mpeg4-mp3.avi"
    ff $clip $tone10 $common -c:v libvpx -b:v 1500k -c:a libvorbis -shortest "$out/vp8-vorbis.webm"
    exit 0
fi

make_set() {
    out=$1
    ff $video $tone $common -c:v libx264 -preset veryfast -crf 40 -pix_fmt yuv420p \
        -c:a aac -b:a 32k -ac 2 -shortest "$out/h264-aac.mp4"
    ff $video $tone $common -c:v mpeg4 -q:v 20 -c:a libmp3lame -b:a 32k -ac 1 \
        -shortest "$out/mpeg4-mp3.avi"
    ff $video $tone48 $common -c:v libx264 -preset veryfast -crf 40 -pix_fmt yuv420p \
        -c:a libvorbis -q:a 0 -ac 2 -shortest "$out/clip with spaces.mkv"
    ff $video $common -c:v libvpx -b:v 50k -an "$out/vp8-silent.webm"
}

make_set "$here"
ff $video $tone $common -c:v mjpeg -q:v 31 -c:a pcm_s16le -ac 1 -ar 8000 -shortest "$here/vidéo ñ.mov"
ff $tone $common -c:a aac -b:a 32k -ac 1 "$here/audio-only.m4a"
# Two audio tracks and a subtitle track, each with its language, for the
# fields that list every track. In a folder of its own, so the tests that copy
# the media above do not meet it.
mkdir -p "$here/tracks"
printf '1\n00:00:00,000 --> 00:00:00,900\nHallo\n' >"$here/tracks/subtitle.srt"
ff $video $tone $tone48 -i "$here/tracks/subtitle.srt" -map 0:v -map 1:a -map 2:a -map 3:s \
    $common -c:v libx264 -preset veryfast -crf 40 -pix_fmt yuv420p -c:a aac -b:a 32k -ac 1 \
    -c:s srt -metadata:s:a:0 language=eng -metadata:s:a:1 language=fra \
    -metadata:s:s:0 language=ger -shortest "$here/tracks/languages.mkv"
rm "$here/tracks/subtitle.srt"
printf 'This is plain text, not a video.\n' >"$here/not-a-video.mp4"
: >"$here/empty.mp4"

rm -f "$samples"/*
make_set "$samples"
mv "$samples/clip with spaces.mkv" "$samples/h264-vorbis.mkv"

# The clips the helper reads from memory as it starts, one per common container,
# so that the library's tables of each format are built once in the helper and
# not again in every reader forked from it.
warm="$here/../../resources/warm-up"
mkdir -p "$warm"
small="-f lavfi -i testsrc=size=32x32:rate=10:duration=0.3"
beep="-f lavfi -i sine=frequency=440:sample_rate=44100:duration=0.3"
h264="-c:v libx264 -preset veryfast -crf 45 -pix_fmt yuv420p"
for container in mp4 mov ts; do
    ff $small $beep $common $h264 -c:a aac -b:a 16k -ac 1 -shortest "$warm/clip.$container"
done
ff $small $beep $common $h264 -c:a libvorbis -ac 1 -shortest "$warm/clip.mkv"
ff $small $beep $common -c:v libvpx -b:v 20k -c:a libopus -ac 1 -shortest "$warm/clip.webm"
ff $small $beep $common -c:v mpeg4 -q:v 31 -c:a libmp3lame -b:a 16k -ac 1 -shortest "$warm/clip.avi"
ff $small $beep $common -c:v mpeg2video -q:v 31 -c:a mp2 -b:a 32k -ac 1 -shortest "$warm/clip.mpg"
ff $small $beep $common -c:v flv1 -q:v 31 -c:a libmp3lame -b:a 16k -ac 1 -ar 22050 -shortest \
    "$warm/clip.flv"
ff $small $beep $common -c:v wmv2 -q:v 31 -c:a wmav2 -b:a 32k -ac 1 -shortest "$warm/clip.wmv"
