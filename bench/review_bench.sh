#!/usr/bin/env bash
# Sequence review in Lumenor's own window under Xvfb: the figures of review_bench on its cases.
# Frames of run-length RGB written by ImageMagick (a plasma fractal, photo-like, rolled a little
# from frame to frame), written once into DATA_DIR (BUILD_DIR/bench-data/review by default):
# 48 frames of 3840 x 2160 and 120 of 1920 x 1080. Each case runs RUNS times, each run in a window
# of its own, and prints the medians. Prints figures; passes or fails nothing.
#   bench/review_bench.sh BUILD_DIR [RUNS] [DATA_DIR]
#
#   1. 4K looped at Fit to Window: played once at 12 fps, then looped at 60 fps, cache 3000 MiB
#   2. 4K looped at 100 % in a 1600 x 1100 client area, the same way
#   3. scrubbing 1080 frames on the timeline, at Fit to Window and at 100 %
#   4. L twice at 24 fps over 1080 frames in the cache, at 100 % and at Fit to Window
set -euo pipefail
build=${1:-build/main}
runs=${2:-5}
data=${3:-$build/bench-data/review}
bench=$build/bench/review_bench
[ -x "$bench" ] || { echo "no $bench: build the review_bench target first" >&2; exit 2; }

write_frames() {  # name width height frames
  local dir=$data/$1-$4
  [ -f "$dir/complete" ] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  convert -size "$2x$3" -seed 7 plasma:fractal -depth 8 "$dir/base.png"
  for i in $(seq "$4"); do
    convert "$dir/base.png" -roll "+$((i * 37))+$((i * 11))" -depth 8 -compress RLE \
      "sgi:$dir/shot.$(printf %04d "$i").rgb"
  done
  rm "$dir/base.png"
  touch "$dir/complete"
}

write_frames 2160 3840 2160 48
write_frames 1080 1920 1080 120

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
echo "review_bench from $build ($(grep -m1 '^CMAKE_BUILD_TYPE' "$build/CMakeCache.txt" || true)),"\
     "$(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
for case in "loop --fit 2160-48" "loop 2160-48" "scrub --fit 1080-120" "scrub 1080-120" \
            "shuttle 1080-120" "shuttle --fit 1080-120"; do
  set -- $case
  frames=${!#}
  args=("${@:1:$#-1}")
  command=(xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb
           XDG_RUNTIME_DIR="$runtime" "$bench" --runs "$runs" --client 1600 1100 --cache 3000
           "${args[@]}" "$data/$frames/shot.0001.rgb")
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '$'
  printf ' %q' "${command[@]}"
  echo
  "${command[@]}"
  echo
done
