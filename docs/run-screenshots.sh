#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes docs/progress-linux.png and docs/report-linux.png with the real programs on a virtual
# display with openbox: a run over 80 sample bitmaps caught half-way, then a run over a folder
# with a truncated bitmap and a name that is not UTF-8, caught at its report. Then
# docs/tooltip-linux.png, the main window with the device folder's tip, docs/about-capture.png,
# the capture tool's About box, and, where Wine runs and
# the Windows build is there, docs/help-wine.png, the Windows build's /? box.
#   bash docs/run-screenshots.sh [build/linux/bin] [build/windows/bin]
# (build/windows64/bin, the 64-bit test build, where Wine cannot run the 32-bit one)
# Needs Xvfb, openbox, xdotool, xwd and python3-pil (the system's python3; PYTHON overrides it).
# The programs run from a copy of their own, so the build's settings.ini is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/linux/bin}")
# shellcheck source=/dev/null
source "$bin/../common/generated/product.sh"  # the windows' names
winbin=${2:-build/windows/bin}
docs=$PWD/docs
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir "$work/bin" "$work/photos" "$work/mixed"
cp "$bin/pictrane-converter" "$bin/pictrane-capture" "$bin/dummy.bmp" "$work/bin/"
# Names whose first eight letters differ, so that the run ends without a box about shared names.
for n in $(seq -w 1 20); do
  for f in landscape smiley checkerboard "grey ramp"; do cp "samples/$f.bmp" "$work/photos/${f:0:5}$n.bmp"; done
done
cp samples/smiley.bmp "$work/mixed/good.bmp"
head -c 60 samples/landscape.bmp >"$work/mixed/truncated.bmp"
cp samples/smiley.bmp "$work/mixed/$(printf 'bad\xe9.bmp')"

# An X screen's image as PNG, cropped to Box (left,top,right,bottom), or with "auto" to what
# is drawn on the black screen; with a window id after Box, that window's own image.
shot() {
  if [[ -n ${3:-} ]]; then xwd -silent -frame -id "$3"; else xwd -silent -root; fi >"$work/shot.xwd"
  "${PYTHON:-/usr/bin/python3}" - "$work/shot.xwd" "$1" "$2" <<'EOF'
import struct, sys
from PIL import Image
data = open(sys.argv[1], 'rb').read()
h = struct.unpack('>25I', data[:100])
size, width, height, order, line, colours = h[0], h[4], h[5], h[7], h[12], h[19]
start = size + colours * 12
image = Image.frombuffer('RGB', (width, height), data[start:start + line * height], 'raw',
                         'BGRX' if order == 0 else 'XRGB', line, 1)
if sys.argv[3] == 'auto':
    left, top, right, bottom = image.convert('L').point(lambda v: 255 if v > 0 else 0).getbbox()
    box = (max(left - 4, 0), max(top - 4, 0), min(right + 4, width), min(bottom + 4, height))
else:
    box = tuple(min(int(v), limit) for v, limit in zip(sys.argv[3].split(','), (width, height) * 2))
image.crop(box).convert('P', palette=Image.ADAPTIVE, colors=128).save(sys.argv[2], optimize=True)
EOF
}

settings() {
  printf '[Settings]\r\nScreenCapturePath=%s\r\nLastDir=%s\r\nLastDeviceDir=holiday\r\n' \
    "$work/bin/pictrane-capture" "$1" >"$work/bin/settings.ini"
}

# An Xvfb with openbox, as DISPLAY; display_down ends them.
display_up() {
  exec 3<>"$work/display"
  Xvfb -displayfd 3 -screen 0 "${SCREEN:-800x500}x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
  DISPLAY=:$(head -n 1 "$work/display")
  export DISPLAY
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
}
display_down() {
  kill "$wm" "$xvfb"
  wait "$xvfb" 2>/dev/null || true
  : >"$work/display"
}

# Runs the converter on Folder, presses Convert and waits Seconds before Then runs.
run() {
  local folder=$1 seconds=$2
  shift 2
  settings "$folder"
  display_up
  "$work/bin/pictrane-converter" &
  local program=$!
  local window
  window=$(xdotool search --sync --name "^$PICTRANE_CAPTION\$" | head -n 1)
  xdotool windowfocus --sync "$window"
  xdotool key --window "$window" space
  sleep "$seconds"
  "$@"
  timeout 120 tail --pid="$program" -f /dev/null
  display_down
}

# The main window with the pointer resting on the device folder field.
tooltip() {
  settings "/home/ann/Pictures/Holiday 2026"
  display_up
  "$work/bin/pictrane-converter" &
  local program=$! window
  window=$(xdotool search --sync --name "^$PICTRANE_CAPTION\$" | head -n 1)
  sleep 1
  # The field sits 1440 x 840 twips into the window: 96 x 56 pixels at 96 dpi; its middle a bit on.
  xdotool mousemove --window "$window" 150 66
  sleep 2
  shot "$docs/tooltip-linux.png" auto
  xdotool mousemove 0 0 key --window "$window" Escape
  kill "$program"
  display_down
}

# The capture tool's About box (Alt+H, A), naming a tidy settings path.
about() {
  display_up
  mkdir -p "$work/home/.config"
  XDG_CONFIG_HOME=$work/home/.config "$work/bin/pictrane-capture" samples/smiley.bmp &
  local program=$! tool
  tool=$(xdotool search --sync --onlyvisible --name 'Pictrane Capture$' | head -n 1)
  sleep 1
  xdotool windowactivate --sync "$tool" key alt+h a
  local box
  box=$(xdotool search --sync --onlyvisible --name '^About Pictrane Capture$' | head -n 1)
  sleep 1
  # Taken from the root, a box of a window-modal dialog shows black under openbox on Xvfb.
  shot "$docs/about-capture.png" 0,0,100000,100000 "$box"
  xdotool key Return
  kill "$program"
  display_down
}

# The Windows build's help box under Wine.
help_box() {
  local exe="$winbin/Pictrane Converter.exe" prefix
  prefix=$(realpath -m "$winbin/../wine-prefix")
  [[ -f $exe ]] && cmake/wine-run.sh --prefix="$prefix" --init >/dev/null 2>&1 || {
    echo "skipped: help-wine.png (no Windows build, or Wine cannot run here)"
    return 0
  }
  display_up
  cmake/wine-run.sh --prefix="$prefix" "$exe" '/?' &
  local program=$! box
  box=$(xdotool search --sync --name "^$PICTRANE_TITLE\$" | head -n 1)
  sleep 1
  shot "$docs/help-wine.png" auto
  xdotool windowfocus --sync "$box" key Return
  timeout 60 tail --pid="$program" -f /dev/null
  display_down
  echo "written: $docs/help-wine.png"
}

# The report box from its own window: it is taller than the progress run's screen.
report() {
  local box
  box=$(xdotool search --onlyvisible --name "^$PICTRANE_TITLE\$" | head -n 1)
  shot "$docs/report-linux.png" 0,0,100000,100000 "$box"
  xdotool key Return
}

# Qt under Xvfb takes the work area as 600 pixels wide; the shot keeps that part of the screen.
run "$work/photos" 3 shot "$docs/progress-linux.png" 0,0,600,500
SCREEN=800x800 run "$work/mixed" 6 report
echo "written: $docs/progress-linux.png $docs/report-linux.png"
tooltip
echo "written: $docs/tooltip-linux.png"
about
echo "written: $docs/about-capture.png"
help_box
