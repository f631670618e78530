#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end throughput: pictrane-converter driving pictrane-capture over 200 bitmaps on a
# virtual display, in converted files per second, beside the bound the fixed pauses allow
# (120 ms a file plus 200 ms at the start). With delete 1 each bitmap is deleted once its picture
# has been seen to hold still. With progress 0 the benchmark's build of the converter without its
# progress window runs instead. The program's exit status (0: every bitmap got its picture) is shown.
#   bench/e2e-throughput.sh [build/linux/bin] [count] [delete 0|1] [progress 1|0]
set -euo pipefail
bin=$(realpath "${1:-build/linux/bin}")
# shellcheck source=/dev/null
source "$bin/../common/generated/product.sh"  # the windows' names
count=${2:-200}
delete=${3:-0}
converter=pictrane-converter
[[ ${4:-1} == 0 ]] && converter=pictrane-converter-without-progress
samples=$(realpath "$(dirname "$0")/../samples")

work=$(mktemp -d /tmp/pictrane-throughput-XXXXXX)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/bitmaps" "$work/home/.config"
# The tool's remembered settings are the benchmark's own, never the developer's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CONFIG_DIRS=$work/etc-xdg
cp "$bin/$converter" "$work/app/pictrane-converter"
cp "$bin/dummy.bmp" "$work/app/"
for i in $(seq -w 1 "$count"); do cp "$samples/smiley.bmp" "$work/bitmaps/pic$i.bmp"; done
printf '[Settings]\r\nScreenCapturePath=%s\r\nLastDir=%s\r\nLastDeviceDir=main\r\nDeleteBMPs=%s\r\n' \
  "$bin/pictrane-capture" "$work/bitmaps" "$delete" > "$work/app/settings.ini"

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
export DISPLAY=:$display QT_QPA_PLATFORM=xcb

"$work/app/pictrane-converter" &
program=$!
window=$(xdotool search --sync --name "^$PICTRANE_CAPTION\$" | head -n 1)
xdotool windowfocus --sync "$window"
start=$(date +%s.%N)
xdotool key --window "$window" space
status=0
wait "$program" || status=$?
end=$(date +%s.%N)

written=$(find "$work/bitmaps" -name '*.89i' | wc -l)
left=$(find "$work/bitmaps" -name '*.bmp' | wc -l)
if [[ $delete == 1 && $left -ne $((count - written)) ]]; then
  echo "deleted $((count - left)) bitmaps for $written pictures" >&2
  exit 1
fi
# How long the program ran on after the last picture was written: the wait for the tool to
# end, the picture check and the exit.
last=$(find "$work/bitmaps" -name '*.89i' -printf '%T@\n' | sort -n | tail -n 1)
echo "exit status $status"
[[ -n $last ]] && awk -v l="$last" -v e="$end" 'BEGIN { printf "after the last picture: %.2f s\n", e - l }'

awk -v n="$written" -v total="$count" -v s="$start" -v e="$end" 'BEGIN {
  t = e - s; rate = n / t; bound = total / (0.2 + 0.12 * total);
  printf "converted %d of %d files in %.2f s: %.2f files/s; bound %.2f files/s; %.1f %% of the bound\n",
         n, total, t, rate, bound, 100 * rate / bound }'
