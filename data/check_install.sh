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
expect bin/lumenor-thumbnailer
expect share/thumbnailers/lumenor.thumbnailer
expect share/metainfo/example.lumenor.Lumenor.metainfo.xml
expect share/doc/lumenor/copyright
expect share/doc/lumenor/changelog.gz
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
grep -qx 'Exec=lumenor %f' "$prefix/share/applications/lumenor.desktop" || { echo "Exec takes no file"; failed=1; }
grep -qx 'MimeType=image/x-sgi;image/x-rgb;' "$prefix/share/applications/lumenor.desktop" || { echo "MimeType"; failed=1; }

# The file type database knows SGI files by name and by their first bytes, and takes nothing else
# for one (what xdg-mime answers in a desktop without a session of its own).
expect share/mime/packages/lumenor.xml
XDG_DATA_DIRS="$prefix/share:/usr/share" update-mime-database "$prefix/share/mime"
files=$prefix/files
mkdir -p "$files"
header='\x01\xda\x01\x01\x00\x03\x00\x02\x00\x02\x00\x03'
printf "$header" >"$files/picture.bw"
printf "$header" >"$files/no-extension"
printf '\x01\xda\x05\x01\x00\x03' >"$files/other-bytes"
printf '\x89PNG\r\n\x1a\n' >"$files/image.png"
while read -r name want; do
  have=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION XDG_DATA_HOME="$prefix/none" \
         XDG_DATA_DIRS="$prefix/share:/usr/share" xdg-mime query filetype "$files/$name")
  [ "$have" = "$want" ] || { echo "xdg-mime: $name is $have, want $want"; failed=1; }
done <<'LIST'
picture.bw image/x-sgi
no-extension image/x-sgi
other-bytes application/octet-stream
image.png image/png
LIST

# Software centres read the metainfo; man -k finds the three manual pages.
appstreamcli validate --no-net "$prefix/share/metainfo/example.lumenor.Lumenor.metainfo.xml" >/dev/null ||
  { appstreamcli validate --no-net "$prefix/share/metainfo/example.lumenor.Lumenor.metainfo.xml"; failed=1; }
mandb -q "$prefix/share/man"
for page in lumenor lumenor-decode lumenor-thumbnailer; do
  man -M "$prefix/share/man" -k lumenor | grep -q "^$page (1)" || { echo "man -k does not list $page"; failed=1; }
done
[ $failed -eq 0 ] && echo "install checked in $prefix"
exit $failed
