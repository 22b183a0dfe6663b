#!/bin/sh
# Scales the program's icon (resources/quorvid.png, 256 pixels) down to the
# smaller sizes the desktop's icon theme asks for, into resources/icons/ laid
# out as the theme is. Needs ImageMagick 6 (convert). Run again whenever the
# icon changes.
set -eu

resources=$(cd "$(dirname "$0")/../resources" && pwd)

for size in 16 22 24 32 48 64 128; do
    mkdir -p "$resources/icons/${size}x${size}/apps"
    # No time stamps in the files, so scaling again gives the same bytes.
    convert "$resources/quorvid.png" -filter Lanczos -resize "${size}x${size}" -depth 8 \
        -strip -define png:exclude-chunks=date,time "$resources/icons/${size}x${size}/apps/quorvid.png"
done
