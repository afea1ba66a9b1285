#!/usr/bin/env bash
# Times lumenor-decode as a whole process on 4096 x 4096 files of every shape (grey, grey with
# alpha, RGB, RGBA; uncompressed and run-length), written by netpbm and ImageMagick (grey with
# alpha, which they write as four channels, by our own builder), next to the read-and-copy floor
# (ordinary pages, and 2 MiB huge pages) and ImageMagick's own reader, all measured in the same
# run. Also the peak memory of each and the bytes a load reads over the file's size.
# Prints figures; passes or fails nothing.
#   bench/process_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build/main}
runs=${2:-9}
data=$build/bench-data
convert=/usr/bin/convert
mkdir -p "$data"

if [ ! -f "$data/ga-rle.bw" ]; then
  "$convert" -seed 11 -size 4096x4096 plasma:fractal -depth 8 "$data/plasma.ppm"
  ppmtopgm "$data/plasma.ppm" >"$data/plasma.pgm"
  "$convert" "$data/plasma.ppm" \( -size 4096x4096 gradient:white-black \) -compose CopyOpacity \
    -composite -depth 8 "$data/plasma.pam"
  pnmtosgi -verbatim "$data/plasma.ppm" >"$data/rgb-verbatim.rgb"
  pnmtosgi -verbatim "$data/plasma.pgm" >"$data/grey-verbatim.bw"
  pnmtosgi -rle "$data/plasma.ppm" >"$data/rgb-rle.rgb"
  pnmtosgi -rle "$data/plasma.pgm" >"$data/grey-rle.bw"
  "$convert" "$data/plasma.pam" -depth 8 -compress None "sgi:$data/rgba-verbatim.rgb"
  "$convert" "$data/plasma.pam" -depth 8 -compress RLE "sgi:$data/rgba-rle.rgb"
  "$build/bench/bench_tools" grey-alpha "$data/plasma.pgm" "$data/ga-verbatim.bw" verbatim
  "$build/bench/bench_tools" grey-alpha "$data/plasma.pgm" "$data/ga-rle.bw" rle
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

echo "4096 x 4096 files, medians of $runs whole-process runs; the backing image is 64 MiB"
printf '%-18s %8s %8s %9s %6s %9s %9s %9s %9s %6s\n' file floor_s huge_s lumenor_s ratio \
  floor_MiB lumenor_MiB read/size magick_s ratio
for name in grey-verbatim.bw grey-rle.bw ga-verbatim.bw ga-rle.bw rgb-verbatim.rgb rgb-rle.rgb \
            rgba-verbatim.rgb rgba-rle.rgb; do
  file=$data/$name
  cat "$file" >/dev/null  # in the page cache for every contender
  read -r floor_s floor_kb <<<"$(measure "$build/bench/read_copy_floor" "$file")"
  read -r huge_s _ <<<"$(measure "$build/bench/read_copy_floor" --huge "$file")"
  read -r ours_s ours_kb <<<"$(measure "$build/tools/lumenor-decode" "$file")"
  read -r im_s _ <<<"$(measure "$convert" "$file" ppm:/dev/null)"
  read -r bytes_read size <<<"$("$build/bench/bench_tools" read-count "$file")"
  printf '%-18s %8s %8s %9s %6.2f %9d %9.1f %9.3f %9s %6.2f\n' "$name" "$floor_s" "$huge_s" \
    "$ours_s" "$(awk "BEGIN{print $ours_s / $floor_s}")" $((floor_kb / 1024)) \
    "$(awk "BEGIN{print $ours_kb / 1024}")" "$(awk "BEGIN{print $bytes_read / $size}")" "$im_s" \
    "$(awk "BEGIN{print $im_s / $floor_s}")"
done
