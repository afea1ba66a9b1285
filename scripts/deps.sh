#!/usr/bin/env bash
# Installs the Debian 12 packages Lumenor needs that are not there yet.
#   deps.sh run      what building and starting the viewer needs
#   deps.sh package  that, and what making the Debian package needs
#   deps.sh test     everything: tests, sanitizers, fuzzer, real-window tests (Xvfb, weston),
#                    independent writers, the package and its checks
set -euo pipefail

build=(build-essential cmake ninja-build qt6-base-dev libgl-dev libpng-dev)
# qt6-wayland: a native window on a Wayland desktop rather than one blown up by XWayland.
runtime=(libqt6widgets6 libpng16-16 fonts-dejavu-core qt6-wayland)
packaging=(dpkg-dev file)
testing=(googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
         xvfb xauth xdotool x11-utils imagemagick netpbm python3 python3-pil python3-pyatspi
         at-spi2-core dbus desktop-file-utils time xdg-utils libfile-mimeinfo-perl shared-mime-info
         man-db appstream lintian weston)

case "${1:-test}" in
  run) wanted=("${build[@]}" "${runtime[@]}") ;;
  package) wanted=("${build[@]}" "${runtime[@]}" "${packaging[@]}") ;;
  test) wanted=("${build[@]}" "${runtime[@]}" "${packaging[@]}" "${testing[@]}") ;;
  *) echo "usage: deps.sh run|package|test" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
