#!/bin/sh
# Draws the program's icons with ImageMagick: run it here after changing a drawing, and commit
# the .ico files it writes. Each icon holds a 16 and a 32 pixel picture, made from a drawing of
# 128 pixels.
#   DorvelOff.ico   sharing off / no player: a grey player screen with a red cross
#   DorvelOn.ico    sharing on / player connected: a blue screen playing, with a green tick
#   QuonDorvel.ico  the program: a Q around a play sign
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

player='fill #3a4a5c stroke #1e2833 stroke-width 4 roundrectangle 6,14 121,94 14,14
fill #1e2833 stroke none rectangle 54,94 73,106 roundrectangle 34,104 93,114 4,4'

icon() {
    convert -size 128x128 xc:none -draw "$2" "$work/$1.png"
    convert "$work/$1.png" -resize 16x16 "$work/$1-16.png"
    convert "$work/$1.png" -resize 32x32 "$work/$1-32.png"
    convert "$work/$1-16.png" "$work/$1-32.png" "$1.ico"
}

icon DorvelOff "$player
fill #7d8894 stroke none roundrectangle 18,26 109,82 6,6
fill #c0392b stroke white stroke-width 6 circle 98,98 98,72
stroke-width 9 line 87,87 109,109 line 109,87 87,109"

icon DorvelOn "$player
fill #2e86de stroke none roundrectangle 18,26 109,82 6,6
fill white polygon 50,38 50,70 76,54
fill #27ae60 stroke white stroke-width 6 circle 98,98 98,72
fill none stroke-width 9 polyline 85,99 95,109 112,88"

icon QuonDorvel "fill #2e86de stroke #1b4f8a stroke-width 4 roundrectangle 4,4 123,123 24,24
fill none stroke white stroke-width 12 circle 62,62 62,24 line 80,80 106,106
fill white stroke none polygon 52,44 52,80 82,62"
