#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The .deb installed as its users install it, with apt, then used by an unprivileged user with a
# fresh home under Xvfb: the window must open without any box, the settings appear in the user's
# folder, Convert writes every picture, and the installed files stay as they were. Then apt
# removes it: no file of the package may be left, and the user's settings stay. Needs root (it
# installs the package and makes the user) and the packages from scripts/package.
#   bash tests/install/linux-install.sh build/linux
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
deb=$(ls "$build"/pictrane-converter_*.deb | head -n 1)
# shellcheck source=/dev/null
source "$build/common/generated/product.sh"  # PICTRANE_TITLE, PICTRANE_CAPTION, PICTRANE_VERSION
version=$PICTRANE_VERSION
user=pictrane-install-test
package=pictrane-converter
[[ $(id -u) -eq 0 ]] || { echo "The install test needs root." >&2; exit 1; }
[[ -n $version ]] || { echo "No version in $build/common/generated/product.sh." >&2; exit 1; }
apt_get() { apt-get -o DPkg::Lock::Timeout=300 -q "$@"; }
installed() { dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; }

fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d /tmp/pictrane-install.XXXXXX)
chmod 755 "$work"
cleanup() {
  [[ -n "${program:-}" ]] && kill "$program" 2>/dev/null || true
  [[ -n "${xvfb:-}" ]] && kill "$xvfb" 2>/dev/null || true
  if installed; then apt_get remove -y "$package" >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# What an earlier run left would hide this package's files behind the same version.
if installed; then apt_get remove -y "$package" >/dev/null; fi
apt_get install -y --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt could not install $deb: $(tail -n 5 "$work/apt.log")"
installed || fail "$package is not installed after apt: $(tail -n 5 "$work/apt.log")"
prefix=/usr
# The package's own files, as the package lists them.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\.||' | grep -v '/$' | sort >"$work/files"
snapshot() { xargs -d '\n' stat -c '%n %s %a %U %Y' <"$work/files"; }
snapshot >"$work/before"

id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
home=$work/home
mkdir -m 700 "$home"
mkdir "$home/pics"
cp "$samples"/*.bmp "$home/pics/"
chown -R "$user:" "$home"
as_user() {
  runuser -u "$user" -- env -i HOME="$home" DISPLAY="${DISPLAY:-}" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}
as_user touch "$prefix/bin/probe" 2>/dev/null && fail "the user can write the prefix"

# The command line answers without a display, wherever the option stands among ignored ones.
[[ $(as_user "$prefix/bin/pictrane-converter" --version) == "$PICTRANE_TITLE $version" ]] ||
  fail "--version"
status=0
as_user "$prefix/bin/pictrane-converter" --bogus --help >"$work/out" 2>"$work/err" || status=$?
[[ $status -eq 0 && ! -s "$work/err" && $(head -n 1 "$work/out") == Usage:* ]] ||
  fail "--bogus --help exited with $status: $(cat "$work/out" "$work/err")"
# The man pages are where man looks for them, state the version and format without a warning.
for page in pictrane-converter pictrane-capture; do
  file=$prefix/share/man/man1/$page.1.gz
  [[ -z $(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null) ]] || fail "$page.1 has problems"
  zcat "$file" | grep -q "^\.TH .* \"$PICTRANE_TITLE $version\"" || fail "$page.1 lacks $version"
done

display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

main_window() {  # the converter's window, or nothing after 20 seconds
  timeout 20 xdotool search --sync --onlyvisible --name "^$PICTRANE_CAPTION\$" | head -n 1
}

# First start: the settings are made in the user's folder and the window opens, with no box.
as_user "$prefix/bin/pictrane-converter" &
program=$!
window=$(main_window) || true
[[ -n "$window" ]] || fail "the window did not open"
sleep 1
others=$(xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$window" || true)
[[ -z "$others" ]] || fail "a box opened: $(for w in $others; do xdotool getwindowname "$w"; done)"
# Stopped without a word: this start is only about what it made before the window opened.
kill $(pgrep -P "$program") "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
program=
for _ in $(seq 100); do
  xdotool search --onlyvisible --name "^$PICTRANE_CAPTION\$" >/dev/null 2>&1 || break
  sleep 0.1
done

config=$home/.config/pictrane-converter
settings=$config/settings.ini
[[ -f "$settings" ]] || fail "no settings in $config"
[[ $(stat -c '%a %U' "$config") == "700 $user" ]] || fail "$config is $(stat -c '%a %U' "$config")"
grep -q "^ScreenCapturePath=$prefix/bin/pictrane-capture"$'\r'"\?$" "$settings" ||
  fail "the settings do not name the installed capture tool: $(cat "$settings")"

# Second start: the folder and device folder filled in as a user leaves them, then Convert.
printf 'LastDir=%s\r\nLastDeviceDir=samples\r\n' "$home/pics" | as_user tee -a "$settings" >/dev/null
as_user "$prefix/bin/pictrane-converter" &
program=$!
window=$(main_window) || true
[[ -n "$window" ]] || fail "the window did not open the second time"
xdotool windowfocus --sync "$window"
xdotool key --window "$window" space  # Convert holds the focus when the window opens
timeout 120 tail --pid="$program" -f /dev/null || fail "the conversion did not finish"
status=0
wait "$program" || status=$?
program=
[[ $status -eq 0 ]] || fail "the converter exited with status $status"

missing=0
for bmp in "$home"/pics/*.bmp; do
  [[ -s "${bmp%.bmp}.89i" ]] || { echo "no picture for $bmp" >&2; missing=1; }
done
[[ $missing -eq 0 ]] || fail "pictures are missing"
for field in "ScreenCapturePath=$prefix/bin/pictrane-capture" "LastDir=$home/pics" \
  "LastDeviceDir=samples" "DeleteBMPs=0"; do
  grep -qF "$field" "$settings" || fail "settings.ini lost $field: $(cat "$settings")"
done
[[ ! -e "$config/list.txt" ]] || fail "list.txt was left behind"

snapshot >"$work/after"
diff -u "$work/before" "$work/after" || fail "the installed files changed"

# Removed with apt: nothing of the package stays, neither a file nor a folder of its own; the
# user's settings do.
apt_get remove -y "$package" >"$work/apt.log" 2>&1 || fail "apt could not remove $package"
! installed || fail "$package is still installed"
left=
while read -r file; do
  [[ -e $file || -L $file ]] && left+=" $file"
  folder=$(dirname "$file")
  [[ -d $folder ]] && ! dpkg-query -S "$folder" >/dev/null 2>&1 &&
    left+=" $folder/"
done <"$work/files"
[[ -z $left ]] || fail "left after removal:$left"
grep -qF "LastDir=$home/pics" "$settings" || fail "the user's settings went with the package"
echo "install test: 1 passed, 0 failed"
