#!/usr/bin/env bash
# Times the thumbnailer as a file manager runs it (-s 256) on the 4096 x 4096 files of
# bench/process_bench.sh and on a 32767 x 32767 file of shared rows, with its peak memory.
# Prints figures; passes or fails nothing.
#   bench/thumbnail_bench.sh BUILD_DIR [RUNS]    (run bench/process_bench.sh once first)
set -euo pipefail
build=${1:-build/main}
runs=${2:-9}
data=$build/bench-data
[ -f "$data/rgb-rle.rgb" ] || { echo "no $data: run bench/process_bench.sh $build first" >&2; exit 2; }
if [ ! -f "$data/giant.rgb" ]; then
  python3 -c "import sys; sys.path.insert(0, 'tests/support'); from sgi_files import write_giant; write_giant('$data/giant.rgb')"
fi
printf '%-18s %10s %10s\n' file median_s peak_MiB
for name in grey-rle.bw ga-rle.bw rgb-verbatim.rgb rgb-rle.rgb rgba-rle.rgb giant.rgb; do
  times=() peak=0
  for _ in $(seq "$runs"); do
    start=$EPOCHREALTIME
    /usr/bin/time -o "$data/time.txt" -f "%M" "$build/tools/lumenor-thumbnailer" -s 256 \
      "$data/$name" "$data/thumbnail.png"
    times+=("$(awk "BEGIN{printf \"%.3f\", $EPOCHREALTIME - $start}")")
    kb=$(tail -1 "$data/time.txt")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  printf '%-18s %10s %10.1f\n' "$name" "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")" \
    "$(awk "BEGIN{print $peak / 1024}")"
done
