#!/usr/bin/env bash
# The Debian package as scripts/package makes it: lintian finds no error, the Depends come from
# the binaries' shared libraries, it recommends Qt's Wayland plugin, it holds what a desktop needs,
# and its own lumenor-decode and thumbnailer work unpacked into a scratch folder.
#   tests/package/check_package.sh   (from the source tree, after scripts/package)
set -uo pipefail
deb=$(ls build/package/lumenor_*_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "no package in build/package"; exit 1; }
failed=0
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, $(dpkg-deb -c "$deb" | grep -vc '/$') files"

if command -v lintian >/dev/null; then
  lintian --fail-on error --display-level ">=warning" "$deb" 2>&1 | grep -v "not recommended" ||
    true
  lintian --fail-on error "$deb" >/dev/null 2>&1 || { echo "lintian reports errors"; failed=1; }
else
  echo "lintian is not installed: the package was not checked with it (apt-get install lintian)"
fi

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libpng16-16 libstdc++6; do
  grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; failed=1; }
done
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -qw qt6-wayland <<<"$recommends" ||
  { echo "Recommends lacks qt6-wayland: '$recommends'"; failed=1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for file in usr/bin/lumenor usr/bin/lumenor-decode usr/bin/lumenor-thumbnailer \
            usr/share/applications/lumenor.desktop usr/share/mime/packages/lumenor.xml \
            usr/share/thumbnailers/lumenor.thumbnailer \
            usr/share/metainfo/example.lumenor.Lumenor.metainfo.xml \
            usr/share/man/man1/lumenor.1.gz usr/share/man/man1/lumenor-decode.1.gz \
            usr/share/man/man1/lumenor-thumbnailer.1.gz usr/share/doc/lumenor/copyright \
            usr/share/doc/lumenor/changelog.gz usr/share/icons/hicolor/scalable/apps/lumenor.svg; do
  [ -e "$root/$file" ] || { echo "the package lacks $file"; failed=1; }
done

# A 3 x 2 RGB picture, run-length encoded, through the unpacked programs.
picture=$root/picture.rgb
{
  printf '\x01\xda\x01\x01\x00\x03\x00\x03\x00\x02\x00\x03'
  head -c 12 /dev/zero; printf 'packaged'; head -c 480 /dev/zero
  for entry in 560 564 568 572 576 580; do printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' 0 0 $((entry >> 8)) $((entry & 255)))"; done
  head -c 24 /dev/zero
  for value in 10 10 90 90 200 200; do printf "$(printf '\\x03\\x%02x\\x00\\x00' "$value")"; done
} >"$picture"
title=$("$root/usr/bin/lumenor-decode" "$picture" -o "$root/picture.ppm") ||
  { echo "the unpacked lumenor-decode failed"; failed=1; }
[ "$title" = "Lumenor - packaged" ] || { echo "the unpacked lumenor-decode printed '$title'"; failed=1; }
[ "$(tail -c 3 "$root/picture.ppm" | od -An -tu1 | tr -s ' ')" = " 10 90 200" ] ||
  { echo "the unpacked lumenor-decode wrote the wrong pixels"; failed=1; }
"$root/usr/bin/lumenor-thumbnailer" -s 128 "$picture" "$root/picture.png" && [ -s "$root/picture.png" ] ||
  { echo "the unpacked thumbnailer failed"; failed=1; }
"$root/usr/bin/lumenor" --version | grep -qx "Lumenor [0-9.]*" || { echo "the unpacked lumenor does not start"; failed=1; }

[ $failed -eq 0 ] && echo "package checked"
exit $failed
