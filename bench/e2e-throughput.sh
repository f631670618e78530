#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end throughput: pictrane-converter driving pictrane-capture over 200 bitmaps on a
# virtual display, in converted files per second, beside the bound the fixed pauses allow
# (120 ms a file plus 200 ms at the start). With delete 1 each bitmap is deleted once its picture
# has been seen to hold still. With progress 0 the benchmark's build of the converter without its
# progress window runs instead. The program's exit status (0: every bitmap got its picture) is shown.
# Beside each run of the program, in turns (the first one alternating), bare_typist types the
# same file scripts into the same capture tool with the same pauses and closing round trip but no
# look at all: the floor of the pace on this machine, whoever types. REPS runs of each.
#   bench/e2e-throughput.sh [build/linux/bin] [count] [delete 0|1] [progress 1|0] [reps]
# Output: "exit status S" (the first run's that was not 0, else 0), "after the last picture: T s"
# (the program's mean), then, with bare_typist built, "bare typist: ..." with the program's pace
# as a fraction of the bare typist's, and last "converted ... % of the bound" over the program's
# median run.
set -euo pipefail
bin=$(realpath "${1:-build/linux/bin}")
# shellcheck source=/dev/null
source "$bin/../common/generated/product.sh"  # the windows' names
count=${2:-200}
delete=${3:-0}
converter=pictrane-converter
[[ ${4:-1} == 0 ]] && converter=pictrane-converter-without-progress
reps=${5:-3}
samples=$(realpath "$(dirname "$0")/../samples")
typist=$bin/bare_typist
if [[ ! -x $typist ]]; then
  echo "no $typist: cmake --build --preset linux --target bare_typist; the program runs alone" >&2
  typist=
fi

work=$(mktemp -d /tmp/pictrane-throughput-XXXXXX)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/home/.config"
# The tool's remembered settings are the benchmark's own, never the developer's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CONFIG_DIRS=$work/etc-xdg
cp "$bin/$converter" "$work/app/pictrane-converter"
cp "$bin/dummy.bmp" "$work/app/"

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
export DISPLAY=:$display QT_QPA_PLATFORM=xcb

# Every run starts from the same folder of bitmaps and no pictures, at the same path, so both
# typists type paths of the same length.
fresh_bitmaps() {
  rm -rf "$work/bitmaps"
  mkdir "$work/bitmaps"
  for i in $(seq -w 1 "$count"); do cp "$samples/smiley.bmp" "$work/bitmaps/pic$i.bmp"; done
  # The files of the run before and these reach the disk first: the tool syncs every picture it
  # writes, and would otherwise wait for them in whichever run comes second.
  sync
  sleep 1
}

# One run of the program; appends "program SECONDS WRITTEN STATUS AFTER-LAST" to the times.
run_program() {
  fresh_bitmaps
  printf '[Settings]\r\nScreenCapturePath=%s\r\nLastDir=%s\r\nLastDeviceDir=main\r\nDeleteBMPs=%s\r\n' \
    "$bin/pictrane-capture" "$work/bitmaps" "$delete" > "$work/app/settings.ini"
  "$work/app/pictrane-converter" &
  local program=$! window start end status=0
  window=$(xdotool search --sync --name "^$PICTRANE_CAPTION\$" | head -n 1)
  xdotool windowfocus --sync "$window"
  start=$(date +%s.%N)
  xdotool key --window "$window" space
  wait "$program" || status=$?
  end=$(date +%s.%N)

  local written left last
  written=$(find "$work/bitmaps" -name '*.89i' | wc -l)
  left=$(find "$work/bitmaps" -name '*.bmp' | wc -l)
  if [[ $delete == 1 && $left -ne $((count - written)) ]]; then
    echo "deleted $((count - left)) bitmaps for $written pictures" >&2
    exit 1
  fi
  # How long the program ran on after the last picture was written: the wait for the tool to
  # end, the picture check and the exit.
  last=$(find "$work/bitmaps" -name '*.89i' -printf '%T@\n' | sort -n | tail -n 1)
  awk -v s="$start" -v e="$end" -v n="$written" -v st="$status" -v l="${last:-}" \
    'BEGIN { printf "program %.3f %d %d %s\n", e - s, n, st, l == "" ? "-" : sprintf("%.3f", e - l) }' \
    >> "$work/times"
}

# One run of the bare typist, timed by itself from its start to the tool's end; every bitmap must
# get its picture, or the floor would be set by a run that did less.
run_bare() {
  fresh_bitmaps
  local seconds written status=0
  seconds=$("$typist" "$bin/pictrane-capture" "$work/app/dummy.bmp" "$work/bitmaps" main \
    2> "$work/bare.log") || status=$?
  written=$(find "$work/bitmaps" -name '*.89i' | wc -l)
  if [[ $status -ne 0 || $written -ne $count ]]; then
    echo "bare typist: status $status, $written of $count pictures: $(tail -n 3 "$work/bare.log")" >&2
    exit 1
  fi
  echo "bare $seconds" >> "$work/times"
}

: > "$work/times"
for rep in $(seq 1 "$reps"); do
  order="program"
  if [[ -n $typist ]]; then
    if ((rep % 2)); then order="program bare"; else order="bare program"; fi
  fi
  for which in $order; do
    "run_$which"
    echo "run $rep $(tail -n 1 "$work/times")" >&2
  done
done

# Medians, not means: a run the machine disturbs (a cold first start, another program's burst)
# moves a mean of a few runs by more than the difference measured.
median() { sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
program_median=$(awk '$1 == "program" { print $2 }' "$work/times" | median)
bare_median=$(awk '$1 == "bare" { print $2 }' "$work/times" | median)
awk -v total="$count" -v t="$program_median" -v bare="$bare_median" '
  $1 == "program" {
    runs++; if (runs == 1 || $3 < n) n = $3
    if ($4 != 0 && status == 0) status = $4
    if ($5 != "-") { after += $5; afters++ }
  }
  $1 == "bare" { bares++ }
  END {
    printf "exit status %d\n", status
    if (afters) printf "after the last picture: %.2f s\n", after / afters
    if (bares) {
      printf "bare typist: %.2f s against the program'"'"'s %.2f s (medians of %d and %d runs in turns): the program at %.3f of the bare typist'"'"'s pace\n",
             bare, t, bares, runs, bare / t
    }
    rate = n / t; bound = total / (0.2 + 0.12 * total)
    printf "converted %d of %d files in %.2f s: %.2f files/s; bound %.2f files/s; %.1f %% of the bound\n",
           n, total, t, rate, bound, 100 * rate / bound
  }' "$work/times"
