#!/usr/bin/env bash
# Times lumenor-decode as a whole process on 4096 x 4096 files written by netpbm and ImageMagick,
# next to the read-and-copy floor and ImageMagick's own reader, measured in the same run.
# Prints figures; passes or fails nothing.
#   bench/process_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build/main}
runs=${2:-7}
data=$build/bench-data
convert=/usr/bin/convert
mkdir -p "$data"

if [ ! -f "$data/plasma.ppm" ]; then
  "$convert" -seed 11 -size 4096x4096 plasma:fractal -depth 8 "$data/plasma.ppm"
  ppmtopgm "$data/plasma.ppm" >"$data/plasma.pgm"
  "$convert" "$data/plasma.ppm" \( -size 4096x4096 gradient:white-black \) -compose CopyOpacity \
    -composite -depth 8 "$data/plasma.pam"
  pnmtosgi -verbatim "$data/plasma.ppm" >"$data/rgb-verbatim.rgb"
  pnmtosgi -verbatim "$data/plasma.pgm" >"$data/grey-verbatim.bw"
  pnmtosgi -rle "$data/plasma.ppm" >"$data/rgb-rle.rgb"
  pnmtosgi -rle "$data/plasma.pgm" >"$data/grey-rle.bw"
  "$convert" "$data/plasma.pam" -depth 8 -compress RLE "sgi:$data/rgba-rle.rgb"
fi

# median seconds and peak resident kilobytes of RUNS runs of a command
measure() {
  local times=() peak=0
  for _ in $(seq "$runs"); do
    local out
    local start=$EPOCHREALTIME
    /usr/bin/time -o "$data/time.txt" -f "%M" "$@" >/dev/null 2>&1 || true
    local end=$EPOCHREALTIME
    out="$(awk "BEGIN{printf \"%.4f\", $end - $start}") $(tail -1 "$data/time.txt")"
    times+=("${out% *}")
    [ "${out#* }" -gt "$peak" ] && peak=${out#* }
  done
  printf '%s %s' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")" "$peak"
}

printf '%-20s %10s %10s %10s %10s %8s %12s %10s\n' file floor_s lumenor_s ratio floor_MiB lumenor_MiB imagemagick_s ratio
for name in rgb-verbatim.rgb grey-verbatim.bw rgb-rle.rgb grey-rle.bw rgba-rle.rgb; do
  file=$data/$name
  cat "$file" >/dev/null  # in the page cache for every contender
  read -r floor_s floor_kb <<<"$(measure "$build/bench/read_copy_floor" "$file")"
  read -r ours_s ours_kb <<<"$(measure "$build/tools/lumenor-decode" "$file")"
  read -r im_s _ <<<"$(measure "$convert" "$file" ppm:/dev/null)"
  printf '%-20s %10s %10s %10.2f %10d %8d %12s %10.2f\n' "$name" "$floor_s" "$ours_s" \
    "$(awk "BEGIN{print $ours_s / $floor_s}")" $((floor_kb / 1024)) $((ours_kb / 1024)) "$im_s" \
    "$(awk "BEGIN{print $im_s / $floor_s}")"
done
