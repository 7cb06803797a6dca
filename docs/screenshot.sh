#!/usr/bin/env bash
# Takes docs/tovrin-dialog.png: the tovrin dialog as it opens, under Xvfb, with the openbox window
# manager drawing its title bar (tools/install-deps installs all of it).
#
#   docs/screenshot.sh [TOVRIN]    TOVRIN: the program to show, default build/dev/ui/qt/tovrin
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --inside ]; then
    tovrin=$(realpath "${1:-build/dev/ui/qt/tovrin}")
    [ -x "$tovrin" ] || { echo "screenshot.sh: no program at $tovrin" >&2; exit 1; }
    exec xvfb-run -a -s "-screen 0 640x480x24" "$0" --inside "$tovrin"
fi

# Inside the X server: the window manager, the dialog, and the picture once the dialog is mapped.
tovrin=$2
openbox >/dev/null 2>&1 &
wm=$!
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.1; done
"$tovrin" &
dialog=$!
trap 'kill "$dialog" "$wm" 2>/dev/null || true' EXIT
for ((waited = 0; waited < 200; waited++)); do
    xwininfo -name 'Tovrin V1.12' 2>/dev/null | grep -q IsViewable && break
    sleep 0.1
done
geometry=$(xwininfo -name 'Tovrin V1.12')
x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$geometry")
y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geometry")
width=$(awk '/Width:/ {print $2}' <<<"$geometry")
height=$(awk '/Height:/ {print $2}' <<<"$geometry")
# The window stands at the screen's top-left corner; its frame is as wide on the right and at the
# bottom as on the left, and the title bar lies above the client area.
sleep 1 # the first paint
import -window root -crop "$((width + 2 * x))x$((y + height + x))+0+0" +repage docs/tovrin-dialog.png
echo "docs/tovrin-dialog.png: $((width + 2 * x)) x $((y + height + x))"
