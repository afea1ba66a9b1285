#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop needs of it.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
failed=0
expect() { [ -e "$prefix/$1" ] || { echo "missing: $1"; failed=1; }; }
expect bin/lumenor
expect bin/lumenor-decode
expect share/applications/lumenor.desktop
expect share/icons/hicolor/scalable/apps/lumenor.svg
for size in 16 32 48 64 128 256; do
  expect share/icons/hicolor/${size}x${size}/apps/lumenor.png
  file=$prefix/share/icons/hicolor/${size}x${size}/apps/lumenor.png
  [ -e "$file" ] && [ "$(/usr/bin/identify -format '%wx%h' "$file")" = "${size}x${size}" ] ||
    { echo "wrong size: ${size}x${size} icon"; failed=1; }
done
desktop-file-validate "$prefix/share/applications/lumenor.desktop" || failed=1
grep -qx 'Name=Lumenor' "$prefix/share/applications/lumenor.desktop" || { echo "Name"; failed=1; }
grep -qx 'Categories=Graphics;Viewer;' "$prefix/share/applications/lumenor.desktop" || { echo "Categories"; failed=1; }
grep -qx 'Exec=lumenor' "$prefix/share/applications/lumenor.desktop" || { echo "Exec takes no file"; failed=1; }
[ $failed -eq 0 ] && echo "install checked in $prefix"
exit $failed
