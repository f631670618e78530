#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows packages under Wine: the portable zip unpacked and started, in a folder it may write
# and in one it may not; the installer run silently, its program started through the Start-menu
# shortcut, and its uninstaller run silently, leaving the settings and no registry key of ours
# (tests Packages.* of tests/win32/program_test.cpp). Needs the packages from
# scripts/package windows.
#   bash tests/install/windows-install.sh build/windows
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
zip=$(ls "$build"/pictrane-converter-*-win32.zip | head -n 1)
installer=$(ls "$build"/pictrane-converter-*-win32.exe | head -n 1)

work=$build/package-test
protected=$build/package-test-protected
chattr -i "$protected" 2>/dev/null || true
rm -rf "$work" "$protected"
mkdir -p "$work"
unzip -q "$zip" -d "$work"
folder=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)

# The zip's files again in a folder the program may not write, as Program Files is for a user.
# Wine runs as root here, so the folder is made immutable rather than read-only.
cp -r "$folder" "$protected"
trap 'chattr -i "$protected" 2>/dev/null || true' EXIT
chattr +i "$protected" || { echo "chattr +i is not supported on $protected" >&2; exit 1; }

PICTRANE_ZIP_FOLDER=$folder PICTRANE_INSTALLER=$installer PICTRANE_PROTECTED_FOLDER=$protected \
  PICTRANE_RECORDER=$build/bin/key_recorder.exe \
  sh "$root/cmake/wine-run.sh" --prefix="$build/wine-prefix" \
  "$build/bin/win32_program_tests.exe" --gtest_filter='Packages.*'
