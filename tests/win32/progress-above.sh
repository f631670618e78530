#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The progress window stays in sight over the maximised capture tool under Wine, as the X server
# shows it: RUNS runs (10 unless given) of the Windows program over 20 bitmaps, the key recorder
# standing in for the tool. In each, the screen (xwd) is looked at twice while the window is up:
# its rectangle must show the window's own pixels, not the recorder's white under them, while the
# recorder covers the rest of the screen. LOOKS overrides the pauses before the looks (seconds);
# KEEP_SHOTS names a folder for the screenshots.
# With openbox as MODE, openbox manages the windows (PREFIX is made to let it), the window must
# keep its "above" state between the looks, and each run is cancelled with a real click
# on Cancel after the looks, where a click may make a window of ours the active one: the tool
# must take the keys of the bitmap it was on to their end, then its Alt+F4 (no close request),
# and the report must say that the conversion was cancelled.
#   progress-above.sh WINE_RUN PREFIX PROGRAM RECORDER [RUNS] [MODE]
set -euo pipefail
wine_run=$1 prefix=$2 program=$3 recorder=$4 runs=${5:-10} mode=${6:-bare}
# shellcheck source=/dev/null
source "$(dirname "$program")/../common/generated/product.sh"  # the windows' names
work=$(mktemp -d)
xvfb= wm=
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  [[ -n $wm ]] && kill "$wm" 2>/dev/null
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$wine_run" --prefix="$prefix" --init
# The prefix's other users each stop its processes when they end: one at a time, as they do.
exec 8>"$prefix.run.lock"
flock -w 1800 8

exec 3<>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")
if [[ $mode == openbox ]]; then
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
  # As on a desktop, the window manager manages Wine's windows (in a prefix of this test's own:
  # the other tests' prefix leaves them unmanaged).
  "$wine_run" --prefix="$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
    /d Y /f >/dev/null 2>&1
fi

win() { echo "Z:${1//\//\\}"; }
mkdir "$work/app" "$work/tool" "$work/pics"
cp "$program" "$work/app/Pictrane Converter.exe"
cp "$recorder" "$work/tool/recorder.exe"
printf 'BM' >"$work/app/dummy.bmp"
count=20
[[ $mode == openbox ]] && count=80  # enough to be cancelled half-way
for n in $(seq -w 1 "$count"); do printf 'BM' >"$work/pics/b$n.bmp"; done

# What the rectangle X Y W H of the screen shows: "in sight" when most of it is not the
# recorder's white while the pixels left of it and above it are.
look() {
  xwd -silent -root >"$work/shot.xwd"
  [[ -n ${KEEP_SHOTS:-} ]] && cp "$work/shot.xwd" "$KEEP_SHOTS/shot-$run-$(date +%s%N).xwd"
  /usr/bin/python3 - "$work/shot.xwd" "$@" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read()
h = struct.unpack('>25I', data[:100])
size, width, height, order, bits, line, colours = h[0], h[4], h[5], h[7], h[11], h[12], h[19]
start, step = size + colours * 12, bits // 8  # 24-bit pixels come packed or in 32 bits
def pixel(x, y):
    at = start + y * line + x * step
    b = data[at:at + step]
    return (b[2], b[1], b[0]) if order == 0 else tuple(b[-3:])
x, y, w, h = map(int, sys.argv[2:6])
white = (255, 255, 255)
inside = [pixel(i, j) for j in range(y, y + h) for i in range(x, x + w)
          if 0 <= i < width and 0 <= j < height]
own = sum(p != white for p in inside) / max(len(inside), 1)
beside = [pixel(max(x - 8, 0), y + h // 2), pixel(x + w // 2, max(y - 8, 0))]
if own > 0.6 and all(p == white for p in beside):
    print('in sight')
else:
    # Where the screen near it is not the recorder's white, against the rectangle X gives: a
    # trail left by a move, or the window drawn elsewhere, shows here.
    drawn = [(i, j) for j in range(max(y - 200, 0), min(y + h + 200, height))
             for i in range(max(x - 200, 0), min(x + w + 200, width)) if pixel(i, j) != white]
    box = (min(i for i, _ in drawn), min(j for _, j in drawn), max(i for i, _ in drawn),
           max(j for _, j in drawn)) if drawn else None
    print('hidden: %d%% of its pixels are its own, beside it %s; the window at %d,%d %dx%d, '
          'not white within 200 pixels of it %s' % (own * 100, beside, x, y, w, h, box))
EOF
}

# The first visible window named PATTERN within SECONDS; windows that go while xdotool looks
# (a window manager's frames) make it fail, so it is asked again.
find_window() {
  local found
  for _ in $(seq $((${2:-60} * 10))); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [[ -n $found ]] && echo "$found" && return 0
    sleep 0.1
  done
  return 1
}

# After a click on Cancel: "cancelled" when a report shows (saying so, where its text can be
# read) and the recorder took whole bitmaps, then Alt+F4 and nothing after it, and got no close
# request.
cancelled() {
  local box text
  box=$(find_window "^$PICTRANE_TITLE\$") || {
    echo "no report"
    return
  }
  # The recorder reads the box through Wine and presses its button.
  text=
  rm -f "$work/box.txt"
  "$wine_run" --prefix="$prefix" "$work/tool/recorder.exe" --read-box "$PICTRANE_TITLE" \
    "$(win "$work/box.txt")" >/dev/null 2>&1 && text=$(cat "$work/box.txt")
  local keys=$work/tool/keys.log
  # A run that took the click for a lost focus also shows in the keys: it ends with a close
  # request, not Alt+F4, and mid-bitmap.
  if [[ $text != *"The conversion was cancelled."* ]]; then
    echo "report: ${text:0:120}"
  elif [[ -e $keys.closed ]]; then
    echo "closed by a close request"
  elif [[ $(grep -v -e '^args' -e '^show' "$keys" | tail -n 1) != Alt+F4 ]]; then
    echo "not closed with Alt+F4 last: $(tail -n 3 "$keys" | tr '\n' ' ')"
  elif [[ $(tail -n 8 "$keys" | tr '\n' ' ') != "Alt+d Delete 'm' 'a' 'i' 'n' Enter Alt+F4 " ]]; then
    echo "the last bitmap cut short: $(tail -n 8 "$keys" | tr '\n' ' ')"
  else
    echo "cancelled"
  fi
}

failed=0 looks=0
for run in $(seq "$runs"); do
  rm -f "$work/tool/keys.log" "$work/tool/keys.log.closed" "$work"/pics/*.89i
  printf '[Settings]\r\nScreenCapturePath=%s\r\nLastDir=%s\r\nLastDeviceDir=main\r\nDeleteBMPs=0\r\n' \
    "$(win "$work/tool/recorder.exe")" "$(win "$work/pics")" >"$work/app/settings.ini"
  "$wine_run" --prefix="$prefix" "$work/app/Pictrane Converter.exe" >/dev/null 2>&1 &
  pid=$!
  form=$(find_window "^$PICTRANE_CAPTION\$")
  sleep 0.5
  xdotool windowfocus --sync "$form" key space  # Convert holds the focus as the window opens
  verdicts=()
  # The looks count once the tool's window is up: before it, nothing covers the progress window,
  # and on a loaded machine the recorder may take over a second to show.
  if progress=$(find_window "^Converting - $PICTRANE_TITLE\$" 30) &&
    find_window '^Key recorder$' 30 >/dev/null; then
    # Under a window manager the window must never leave the "above" layer: each time it does,
    # it goes under the focused tool until it is raised and repainted.
    spy=
    if [[ $mode == openbox ]]; then
      xprop -spy -id "$progress" _NET_WM_STATE >"$work/states" 2>/dev/null &
      spy=$!
    fi
    for wait in ${LOOKS:-0.3 1}; do
      sleep "$wait"
      eval "$(xwininfo -id "$progress" | awk -F: '{ gsub(/ /, "", $2) }
        /Absolute upper-left X/{ print "x=" $2 } /Absolute upper-left Y/{ print "y=" $2 }
        /Width/{ print "w=" $2 } /Height/{ print "h=" $2 }')"
      verdicts+=("$(look "$x" "$y" "$w" "$h")")
    done
    if [[ -n $spy ]]; then
      kill "$spy" 2>/dev/null || true
      wait "$spy" 2>/dev/null || true
      below=$(grep -c -v _NET_WM_STATE_ABOVE "$work/states" || true)
      [[ $below -eq 0 ]] || verdicts+=("out of the above layer $below times")
    fi
    if [[ $mode == openbox ]]; then
      xdotool mousemove $((x + w - 30)) $((y + h - 20)) click 1
      verdicts+=("$(cancelled)")
    fi
  else
    verdicts+=("no progress window")
  fi
  timeout 60 tail --pid="$pid" -f /dev/null || kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "run $run: ${verdicts[*]}"
  for v in "${verdicts[@]}"; do
    looks=$((looks + 1))
    [[ $v == "in sight" || $v == cancelled ]] || failed=$((failed + 1))
  done
done
echo "progress window hidden or missing in $failed of $looks looks over $runs runs"
[[ $failed -eq 0 ]]
