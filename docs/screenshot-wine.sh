#!/usr/bin/env bash
# Takes docs/tovrin-dialog-wine.png: the Windows tovrin.exe as it opens, under Wine on an X server
# without a screen (tools/with-wine). The 64-bit build serves: the 32-bit one does not run under
# the 64-bit Wine.
#
#   docs/screenshot-wine.sh [TOVRIN.EXE]    default build/win64/ui/win32/tovrin.exe
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --inside ]; then
    tovrin=$(realpath "${1:-build/win64/ui/win32/tovrin.exe}")
    [ -f "$tovrin" ] || { echo "screenshot-wine.sh: no program at $tovrin" >&2; exit 1; }
    exec tools/with-wine "$0" --inside "$tovrin"
fi

# Inside tools/with-wine: the dialog, and the picture once Wine has mapped its window.
tovrin=$2
"$WINE" "$tovrin" &
dialog=$!
trap 'kill "$dialog" 2>/dev/null || true' EXIT
window=
for ((waited = 0; waited < 300; waited++)); do
    window=$(xwininfo -root -tree | awk '/"Tovrin V1.12"/ {print $1; exit}')
    [ -n "$window" ] && xwininfo -id "$window" | grep -q IsViewable && break
    sleep 0.1
done
[ -n "$window" ] || { echo "screenshot-wine.sh: the dialog did not appear" >&2; exit 1; }
geometry=$(xwininfo -id "$window")
x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$geometry")
y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geometry")
width=$(awk '/Width:/ {print $2}' <<<"$geometry")
height=$(awk '/Height:/ {print $2}' <<<"$geometry")
# Wine draws the frame and the caption itself: the X window holds the whole dialog.
sleep 1 # the first paint
import -window root -crop "${width}x${height}+${x}+${y}" +repage docs/tovrin-dialog-wine.png
echo "docs/tovrin-dialog-wine.png: $width x $height"
