#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Throughput of the Windows build under 32-bit Wine: "Pictrane Converter.exe" typing a run of
# COUNT bitmaps into the key recorder of the Windows tests (it writes each picture once a file's
# keys are through), beside the bound the fixed pauses allow (120 ms a file plus 200 ms at the
# start). The program of this tree and the one of OLD (a commit, by default the last one with the
# hand-over that made a round trip per message of the keys) run in turns, REPS times each, on one
# virtual display and one Wine prefix, so both meet the same load. Each run must end with status 0
# (every bitmap got its picture); the recorder's log of each run is checked to hold every file's
# keys. Then, where the build has it, bench_typist.exe types the same scripts into the recorder
# without the program around them: through the program's keyboard, and as a bare typist with and
# without the proof that the keys were taken in (what the recorder itself costs under Wine).
#   bench/win32-throughput.sh [build/windows] [count] [reps] [old]
# PICTRANE_OLD_EXE names an old program already built, instead of building OLD.
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
build=$(realpath "${1:-$root/build/windows}")
# shellcheck source=/dev/null
source "$build/common/generated/product.sh"  # the windows' names
count=${2:-20}
reps=${3:-5}
old=${4:-}

work=$(mktemp -d /tmp/pictrane-win32-throughput-XXXXXX)
cleanup() {
  [[ -n ${WINEPREFIX:-} ]] && wineserver -k 2>/dev/null || true
  [[ -n ${xvfb:-} ]] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

new_exe="$build/bin/Pictrane Converter.exe"
recorder="$build/bin/key_recorder.exe"
[[ -f $new_exe && -f $recorder ]] || {
  echo "build $build first: cmake --build --preset windows-ci --target pictrane_win key_recorder" >&2
  exit 2
}

old_exe=${PICTRANE_OLD_EXE:-}
if [[ -z $old_exe ]]; then
  if [[ -z $old ]]; then
    # The commit that replaced the old hand-over, and its parent holds it.
    replaced=$(git -C "$root" log --reverse --format=%H -G'MarkForPaint' -- \
      src/win32/WindowSystemWin32.cpp src/platform/win32/WindowSystemWin32.cpp | sed -n 1p)
    old=$replaced^
  fi
  echo "building the program of $old" >&2
  mkdir -p "$work/old-src"
  git -C "$root" archive "$old" | tar -x -C "$work/old-src"
  cmake -S "$work/old-src" -B "$work/old-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/old-src/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DPICTRANE_BENCHMARKS=OFF >/dev/null
  cmake --build "$work/old-build" --target pictrane_win >/dev/null
  old_exe="$work/old-build/bin/Pictrane Converter.exe"
fi

export WINEPREFIX=$build/wine-prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$root/cmake/wine-run.sh" --prefix="$WINEPREFIX" --arch=win32 --init

exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
export DISPLAY=:$display
wineserver -p  # one server for every run: its start is no part of a run

winpath() { echo "Z:${1//\//\\}"; }

# One run of the program Exe; prints its seconds from Convert to its end.
run() {
  local exe=$1 app=$work/app bitmaps=$work/bitmaps status=0
  rm -rf "$app" "$bitmaps"
  mkdir -p "$app" "$bitmaps"
  cp "$exe" "$app/Pictrane Converter.exe"
  cp "$root/resources/dummy.bmp" "$app/"
  cp "$recorder" "$app/recorder.exe"
  for i in $(seq -w 1 "$count"); do printf 'BM' > "$bitmaps/pic$i.bmp"; done
  printf '[Settings]\r\nScreenCapturePath=%s\r\nLastDir=%s\r\nLastDeviceDir=main\r\nDeleteBMPs=0\r\n' \
    "$(winpath "$app/recorder.exe")" "$(winpath "$bitmaps")" > "$app/settings.ini"
  wine "$app/Pictrane Converter.exe" &
  local program=$!
  local window
  window=$(xdotool search --sync --name "^$PICTRANE_CAPTION\$" | head -n 1)
  xdotool windowfocus --sync "$window"
  local start
  start=$(date +%s.%N)
  xdotool key --window "$window" space
  wait "$program" || status=$?
  local end
  end=$(date +%s.%N)
  local written
  written=$(find "$bitmaps" -name '*.89i' | wc -l)
  # Every file's script reached the recorder whole: one Delete and three Enters each.
  local deletes
  deletes=$(grep -c '^Delete' "$app/keys.log" || true)
  if [[ $status -ne 0 || $written -ne $count || $deletes -ne $count ]]; then
    echo "run of $exe: status $status, $written pictures, $deletes scripts" >&2
    return 1
  fi
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

: > "$work/times"
for rep in $(seq 1 "$reps"); do
  # In turns, the first one alternating, so that neither always meets a warmer cache.
  if ((rep % 2)); then order="old new"; else order="new old"; fi
  for which in $order; do
    exe=$new_exe
    [[ $which == old ]] && exe=$old_exe
    t=$(run "$exe")
    echo "$which $t" >> "$work/times"
    echo "run $rep $which: $t s" >&2
  done
done

awk -v n="$count" '
  { sum[$1] += $2; runs[$1]++; if (!($1 in best) || $2 < best[$1]) best[$1] = $2 }
  END {
    bound = 0.2 + 0.12 * n
    printf "%d bitmaps, bound %.2f s (0.2 s + 0.12 s a file)\n", n, bound
    for (w in sum)
      printf "%s hand-over: mean %.2f s (%.2f of the bound), best %.2f s (%.2f), %d runs\n",
             w, sum[w] / runs[w], bound / (sum[w] / runs[w]), best[w], bound / best[w], runs[w]
  }' "$work/times"

typist="$build/bin/bench_typist.exe"
if [[ -f $typist ]]; then
  mkdir -p "$work/app" "$work/pictures"
  cp "$recorder" "$work/app/recorder.exe"
  wine "$typist" "$(winpath "$work/app/recorder.exe")" "$(winpath "$work/pictures")" "$count" "$reps"
fi
