#!/usr/bin/env bash
# Draws Tovrin's window icon: a server's front (two drive bays, a green power light) with a log
# page in front of it. Writes tovrin-32.png, tovrin-16.png (16 colours each) and tovrin.ico holding
# both as 16-colour images, the form the Windows program's icon resource takes. Run from anywhere;
# the images land next to this script. Needs ImageMagick's convert and python3.
set -euo pipefail
cd "$(dirname "$0")"

# Coordinates on a 32 x 32 grid; the 16 x 16 image is drawn on its own grid so that its lines stay
# one pixel sharp instead of being scaled into grey.
convert -size 32x32 xc:none \
    -fill '#1f3a68' -stroke '#0b1a33' -draw 'roundrectangle 1,3 30,26 3,3' \
    -fill '#4a6fa5' -stroke none -draw 'rectangle 4,6 27,10' -draw 'rectangle 4,13 27,17' \
    -fill '#101820' -draw 'rectangle 6,8 18,8' -draw 'rectangle 6,15 18,15' \
    -fill '#35d04a' -draw 'rectangle 23,7 25,9' \
    -fill '#ffffff' -stroke '#0b1a33' -draw 'rectangle 12,15 29,30' \
    -fill '#c03030' -stroke none -draw 'rectangle 15,18 26,19' \
    -fill '#303030' -draw 'rectangle 15,22 26,22' -draw 'rectangle 15,25 24,25' -draw 'rectangle 15,28 22,28' \
    -colors 16 PNG8:tovrin-32.png

convert -size 16x16 xc:none \
    -fill '#1f3a68' -stroke none -draw 'rectangle 0,1 15,12' \
    -fill '#4a6fa5' -draw 'rectangle 2,3 13,4' -draw 'rectangle 2,7 13,8' \
    -fill '#35d04a' -draw 'point 12,3' \
    -fill '#0b1a33' -draw 'rectangle 6,7 15,15' \
    -fill '#ffffff' -draw 'rectangle 7,8 14,14' \
    -fill '#c03030' -draw 'rectangle 8,9 13,9' \
    -fill '#303030' -draw 'rectangle 8,11 13,11' -draw 'rectangle 8,13 11,13' \
    -colors 16 PNG8:tovrin-16.png

python3 write_ico.py tovrin.ico tovrin-32.png tovrin-16.png
