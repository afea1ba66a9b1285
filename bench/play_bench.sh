#!/usr/bin/env bash
# The flipbook player on its four target cases: sequences of run-length RGB frames written by
# ImageMagick (a plasma fractal, photo-like, moved a little from frame to frame), played from a
# cold start for some seconds: the player alone offscreen, with the cost of one frame (the
# default); into a plain window under Xvfb ("window"); or in Lumenor's own window under Xvfb, as a
# person plays it ("lumenor"). The frames are written once into BUILD_DIR/bench-data/play. Prints
# figures; passes or fails nothing.
#   bench/play_bench.sh BUILD_DIR [SECONDS] [FRAMES] [window|lumenor]
set -euo pipefail
build=${1:-build/main}
seconds=${2:-5}
frames=${3:-48}
data=$build/bench-data/play
run=("$build/bench/play_bench")
mode=${4:-}
if [ "$mode" = window ]; then
  run=(xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb "${run[@]}" --window)
fi

write_frames() {  # name width height
  local dir=$data/$1-$frames
  [ -f "$dir/complete" ] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  convert -size "$2x$3" -seed 7 plasma:fractal -depth 8 "$dir/base.png"
  for i in $(seq "$frames"); do
    convert "$dir/base.png" -roll "+$((i * 37))+$((i * 11))" -depth 8 -compress RLE \
      "sgi:$dir/shot.$(printf %04d "$i").rgb"
  done
  rm "$dir/base.png"
  touch "$dir/complete"
}

write_frames 1080 1920 1080
write_frames 2160 3840 2160
if [ "$mode" = lumenor ]; then
  for case in "1080 --fps 24" "1080 --fps 60 --fit" "2160 --fps 24 --fit" "2160 --fps 60 --fit"; do
    set -- $case
    name=$1
    shift
    xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb "$build/bench/flipbook_bench" \
      "$@" --client 1600 1100 --seconds "$seconds" "$data/$name-$frames/shot.0001.rgb" 2>/dev/null
    echo
  done
  exit 0
fi
for case in "1080 --fps 24 --zoom 1 1 1600 1100" "1080 --fps 60 --fit 1600 1100" \
            "2160 --fps 24 --fit 1600 1100" "2160 --fps 60 --fit 1600 1100"; do
  set -- $case
  name=$1
  shift
  echo "=== $name $*"
  "${run[@]}" "$@" --seconds "$seconds" "$data/$name-$frames"/shot.*.rgb
  echo
done
