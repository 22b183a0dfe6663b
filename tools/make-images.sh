#!/bin/sh
# Draws the pictures that live beside the program: the splash picture, the hand
# cursor and the drag pointer. Needs ImageMagick 6 (convert). Run from anywhere;
# the files are written into beside/.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
beside="$root/beside"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$beside/Splash"

# No time stamps in the files, so drawing them again gives the same bytes.
png_opts="-strip -define png:exclude-chunks=date,time"

# Writes a 16-bit little-endian value at a byte offset of a file.
put_u16() {
    file=$1 offset=$2 value=$3
    printf "$(printf '\\%03o\\%03o' $((value & 255)) $((value >> 8)))" |
        dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

# The splash picture: a night-blue frame of film with the program's name.
convert -size 480x270 gradient:'#16324f'-'#3f7cac' \
    -fill '#0b1a2a' -draw 'rectangle 0,0 479,34' -draw 'rectangle 0,235 479,269' \
    -fill '#e8eef4' \
    -draw "$(i=0; while [ $i -lt 24 ]; do x=$((i * 20 + 6)); \
        printf 'roundrectangle %d,10 %d,24 2,2 roundrectangle %d,245 %d,259 2,2 ' \
        $x $((x + 8)) $x $((x + 8)); i=$((i + 1)); done)" \
    -fill none -stroke '#f4a259' -strokewidth 3 -draw 'circle 96,135 96,95' \
    -stroke none -fill '#f4a259' -draw 'polygon 84,113 84,157 118,135' \
    -font Liberation-Sans-Bold -pointsize 56 -fill white -draw "text 160,150 'Quorvid'" \
    -font Liberation-Sans -pointsize 18 -fill '#d6e4f0' \
    -draw "text 163,185 'Video metadata, one row per file'" \
    $png_opts "$beside/Splash/quorvid-splash.png"

# The hand cursor: a white pointing hand with a black outline; the hot spot is
# the tip of the finger.
convert -size 32x32 xc:none -fill white -stroke black -strokewidth 1 \
    -draw 'roundrectangle 24,13 28,24 2,2' \
    -draw 'roundrectangle 20,11 24,23 2,2' \
    -draw 'roundrectangle 16,10 20,22 2,2' \
    -draw 'polygon 11,17 6,12 4,14 10,24' \
    -draw 'roundrectangle 9,17 28,30 4,4' \
    -draw 'roundrectangle 11,1 16,21 2,2' \
    -stroke none -draw 'rectangle 12,17 27,22' \
    -stroke black -draw 'line 16,17 16,21' -draw 'line 20,18 20,22' -draw 'line 24,19 24,22' \
    "$work/hand.png"
convert "$work/hand.png" "ICO:$beside/HAND-M.CUR"
put_u16 "$beside/HAND-M.CUR" 2 2   # resource type: cursor
put_u16 "$beside/HAND-M.CUR" 10 13 # hot spot x
put_u16 "$beside/HAND-M.CUR" 12 1  # hot spot y

# The drag pointer: a list row between an up and a down arrow.
convert -size 32x32 xc:none -fill '#2b6cb0' -stroke '#0b1a2a' -strokewidth 1 \
    -draw 'polygon 16,1 24,9 19,9 19,12 13,12 13,9 8,9' \
    -draw 'polygon 16,31 24,23 19,23 19,20 13,20 13,23 8,23' \
    -fill white -draw 'rectangle 3,13 28,19' \
    -stroke '#0b1a2a' -draw 'line 6,16 25,16' \
    "$work/drag.png"
convert "$work/drag.png" "ICO:$beside/drag.ico"
