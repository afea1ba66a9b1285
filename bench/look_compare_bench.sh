#!/usr/bin/env bash
# Looking closer and comparing in Lumenor's own window under Xvfb: the figures of
# look_compare_bench on its cases. Pictures of run-length RGB and RGBA written by ImageMagick (a
# plasma fractal, photo-like), written once into DATA_DIR (BUILD_DIR/bench-data/look-compare by
# default): two 3840 x 2160 RGB pictures a few pixels apart (plate_a, plate_b), one RGBA with an
# alpha that falls off from the middle (plate_rgba), and two sequences of 120 frames of
# 1920 x 1080 (shot.0001.rgb... and, in a folder of its own, other.0001.rgb... from another
# plasma), rolled a little from frame to frame. Each case runs RUNS times, each run in a window of
# its own, in a client area of 1600 x 1100, and prints the medians. Prints figures; passes or
# fails nothing.
#   bench/look_compare_bench.sh BUILD_DIR [RUNS] [DATA_DIR]
#
#   1. View > Channels, Checkerboard and the turns over 3840 x 2160, at Fit to Window and at 100 %
#   2. 120 frames of 1080 looped at 60 fps at Fit to Window with Red, with Rotate Right, and with
#      neither (for comparison), after a cold pass at 12 fps; cache 3000 MiB
#   3. two 3840 x 2160 pictures compared: the wipe line dragged, Difference chosen; Fit and 100 %
#   4. two sequences of 120 frames of 1080 compared at Fit to Window, at 24 and 60 fps; cache
#      4000 MiB (A's frames and B's)
set -euo pipefail
build=${1:-build/main}
runs=${2:-3}
data=${3:-$build/bench-data/look-compare}
bench=$build/bench/look_compare_bench
[ -x "$bench" ] || { echo "no $bench: build the look_compare_bench target first" >&2; exit 2; }

sgi() {  # convert's arguments ... output: written as run-length SGI, 8 bits a channel
  local out=${*: -1}
  convert "${@:1:$#-1}" -depth 8 -compress RLE "sgi:$out"
}

write_stills() {
  local dir=$data/stills-2160
  [ -f "$dir/complete" ] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  convert -size 3840x2160 -seed 7 plasma:fractal -depth 8 "$dir/base.png"
  sgi "$dir/base.png" "$dir/plate_a.rgb"
  # A render a few pixels off: the difference shows its edges.
  sgi "$dir/base.png" -roll +3+2 "$dir/plate_b.rgb"
  sgi "$dir/base.png" \( -size 3840x2160 radial-gradient:white-black \) -alpha off \
    -compose CopyOpacity -composite "$dir/plate_rgba.rgb"
  rm "$dir/base.png"
  touch "$dir/complete"
}

write_frames() {  # folder prefix seed frames
  local dir=$data/$1
  [ -f "$dir/complete" ] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  convert -size 1920x1080 -seed "$3" plasma:fractal -depth 8 "$dir/base.png"
  for i in $(seq "$4"); do
    sgi "$dir/base.png" -roll "+$((i * 37))+$((i * 11))" "$dir/$2.$(printf %04d "$i").rgb"
  done
  rm "$dir/base.png"
  touch "$dir/complete"
}

write_stills
write_frames shots-1080 shot 7 120
write_frames others-1080 other 11 120

stills=$data/stills-2160
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
echo "look_compare_bench from $build ($(grep -m1 '^CMAKE_BUILD_TYPE' "$build/CMakeCache.txt" || true)),"\
     "$(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
run() {
  local command=(xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb
                 XDG_RUNTIME_DIR="$runtime" "$bench" --runs "$runs" --client 1600 1100 "$@")
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '$'
  printf ' %q' "${command[@]}"
  echo
  "${command[@]}"
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
}
run --fit looks "$stills/plate_a.rgb" "$stills/plate_rgba.rgb"
run looks "$stills/plate_a.rgb" "$stills/plate_rgba.rgb"
for look in red rotate colour; do
  run --fit --cache 3000 --look "$look" play "$data/shots-1080/shot.0001.rgb"
done
run --fit compare "$stills/plate_a.rgb" "$stills/plate_b.rgb"
run compare "$stills/plate_a.rgb" "$stills/plate_b.rgb"
run --fit --cache 4000 compare-play "$data/shots-1080/shot.0001.rgb" \
  "$data/others-1080/other.0001.rgb"
