#!/usr/bin/env bash
# Getting pictures out, all measured in the same run:
#  1. a 4096 x 4096 photo-like RGB run-length file to PNG: lumenor-decode -o against ImageMagick's
#     convert, time and size, with lumenor-decode's load alone (no output) as the floor;
#  2. lumenor-decode --png-dir over 100 files of 1024 x 1024 against converting them one at a
#     time (one process after another), and the speed-up;
#  3. the thumbnailer on a header that claims 32767 x 32767 RGBA with no pixels behind it
#     (uncompressed and run-length) and on a 32767 x 32767 file of shared rows, at -s 256 and
#     -s 1024: time and peak memory;
#  4. the converter's peak memory: the 512-byte files of 3. with no output and with -o x.png, and,
#     with BIG=1 (2.3 GB of files), three 16000 x 16000 RGB run-length files to --png-dir and one
#     to -o x.png.
# Medians of RUNS runs (5 unless given). Prints figures; passes or fails nothing.
#   [BIG=1] bench/convert_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build/main}
runs=${2:-5}
data=$build/bench-data
decode=$build/tools/lumenor-decode
thumbnailer=$build/tools/lumenor-thumbnailer
convert=/usr/bin/convert
mkdir -p "$data"

# The same picture and file as bench/process_bench.sh makes.
[ -f "$data/plasma.ppm" ] ||
  "$convert" -seed 11 -size 4096x4096 plasma:fractal -depth 8 "$data/plasma.ppm"
[ -f "$data/rgb-rle.rgb" ] || pnmtosgi -rle "$data/plasma.ppm" >"$data/rgb-rle.rgb"

# Median seconds on the clock, median processor seconds (user + system: what other programs on
# a busy machine do not inflate) and peak resident KiB of RUNS runs of a command.
measure() {
  local times=() cpus=() peak=0
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    /usr/bin/time -o "$data/time.txt" -f "%e %U %S %M" "$@" >/dev/null 2>&1 || true
    times+=("$(awk "BEGIN{printf \"%.3f\", $EPOCHREALTIME - $start}")")
    local _e user sys kb
    read -r _e user sys kb < <(tail -1 "$data/time.txt")
    cpus+=("$(awk "BEGIN{printf \"%.3f\", $user + $sys}")")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  local middle=$(((runs + 1) / 2))
  printf '%s %s %s' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "${middle}p")" \
    "$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "${middle}p")" "$peak"
}

ratio() { awk "BEGIN{printf \"%.3f\", $1 / $2}"; }

echo "1. 4096 x 4096 RGB run-length file to PNG, medians of $runs runs"
file=$data/rgb-rle.rgb
cat "$file" >/dev/null
read -r load_s load_cpu _ <<<"$(measure "$decode" "$file")"
read -r ours_s ours_cpu ours_kb <<<"$(measure "$decode" "$file" -o "$data/ours.png")"
read -r magick_s magick_cpu magick_kb <<<"$(measure "$convert" "sgi:$file" "$data/magick.png")"
ours_bytes=$(stat -c %s "$data/ours.png")
magick_bytes=$(stat -c %s "$data/magick.png")
printf '%-30s %9s %9s %10s %12s\n' writer seconds cpu_s peak_MiB bytes
printf '%-30s %9s %9s %10s %12s\n' "lumenor-decode (load only)" "$load_s" "$load_cpu" - -
printf '%-30s %9s %9s %10.1f %12d\n' "lumenor-decode -o x.png" "$ours_s" "$ours_cpu" \
  "$(awk "BEGIN{print $ours_kb / 1024}")" "$ours_bytes"
printf '%-30s %9s %9s %10.1f %12d\n' "convert sgi:in.rgb x.png" "$magick_s" "$magick_cpu" \
  "$(awk "BEGIN{print $magick_kb / 1024}")" "$magick_bytes"
echo "ours / ImageMagick: time $(ratio "$ours_s" "$magick_s"), processor time" \
  "$(ratio "$ours_cpu" "$magick_cpu"), size $(ratio "$ours_bytes" "$magick_bytes")"

echo
echo "1b. the same picture at 16 bits a channel (run-length, each value v * 257), medians of $runs runs"
[ -f "$data/rgb16-rle.rgb" ] || "$build/bench/bench_tools" wide "$data/plasma.ppm" "$data/rgb16-rle.rgb"
file16=$data/rgb16-rle.rgb
cat "$file16" >/dev/null
read -r load16_s load16_cpu _ <<<"$(measure "$decode" "$file16")"
read -r ours16_s ours16_cpu ours16_kb <<<"$(measure "$decode" "$file16" -o "$data/ours16.png")"
read -r magick16_s magick16_cpu _ <<<"$(measure "$convert" "sgi:$file16" "$data/magick16.png")"
printf '%-30s %9s %9s %10s %12s\n' writer seconds cpu_s peak_MiB bytes
printf '%-30s %9s %9s %10s %12s\n' "lumenor-decode (load only)" "$load16_s" "$load16_cpu" - \
  "$(stat -c %s "$file16")"
printf '%-30s %9s %9s %10.1f %12d\n' "lumenor-decode -o x.png" "$ours16_s" "$ours16_cpu" \
  "$(awk "BEGIN{print $ours16_kb / 1024}")" "$(stat -c %s "$data/ours16.png")"
printf '%-30s %9s %9s %10s %12d\n' "convert sgi:in.rgb x.png" "$magick16_s" "$magick16_cpu" - \
  "$(stat -c %s "$data/magick16.png")"
echo "ImageMagick / ours (16 bits): time $(ratio "$magick16_s" "$ours16_s"), processor time" \
  "$(ratio "$magick16_cpu" "$ours16_cpu")"
echo "load bytes per second, 8 bits over 16 bits: $(awk "BEGIN{printf \"%.3f\", \
  ($(stat -c %s "$file") / $load_s) / ($(stat -c %s "$file16") / $load16_s)}")"

echo
echo "2. 100 files of 1024 x 1024 (RGB, run-length) to PNG, medians of $runs runs, $(nproc) cores"
batch=$data/batch
if [ ! -f "$batch/in/099.rgb" ]; then
  mkdir -p "$batch/in"
  for tile in $(seq 0 15); do
    column=$((tile % 4)) row=$((tile / 4))
    pnmcut -left $((column * 1024)) -top $((row * 1024)) -width 1024 -height 1024 \
      "$data/plasma.ppm" | pnmtosgi -rle >"$batch/in/tile$tile.rgb" 2>/dev/null
  done
  for n in $(seq 0 99); do
    cp "$batch/in/tile$((n % 16)).rgb" "$batch/in/$(printf %03d "$n").rgb"
  done
  rm "$batch"/in/tile*.rgb
fi
inputs=("$batch"/in/*.rgb)
mkdir -p "$batch/out"
# shellcheck disable=SC2016
one_at_a_time='for input in "$@"; do
  "$0" "$input" -o "${input%/in/*}/out/$(basename "$input" .rgb).png"
done'
read -r serial_s serial_cpu _ <<<"$(measure bash -c "$one_at_a_time" "$decode" "${inputs[@]}")"
read -r batch_s batch_cpu batch_kb <<<"$(measure "$decode" --png-dir "$batch/out" \
  "${inputs[@]}")"
printf '%-34s %9s %9s\n' way seconds cpu_s
printf '%-34s %9s %9s\n' "one lumenor-decode -o per file" "$serial_s" "$serial_cpu"
printf '%-34s %9s %9s   (peak %.1f MiB)\n' "lumenor-decode --png-dir" "$batch_s" "$batch_cpu" \
  "$(awk "BEGIN{print $batch_kb / 1024}")"
echo "speed-up on the clock: $(ratio "$serial_s" "$batch_s")"

echo
echo "3. the thumbnailer on 32767 x 32767 files, medians of $runs runs"
python3 - "$data" <<'EOF'
import sys
folder = sys.argv[1]
for name, storage in (("header-only.rgb", 0), ("header-only-rle.rgb", 1)):
    header = bytearray(512)
    side = (32767).to_bytes(2, "big")
    header[0:12] = bytes([1, 0xDA, storage, 1, 0, 3]) + side + side + (4).to_bytes(2, "big")
    header[24:35] = b"header only"
    with open(folder + "/" + name, "wb") as out:
        out.write(header)
EOF
[ -f "$data/giant.rgb" ] || python3 -c "import sys; sys.path.insert(0, 'tests/support')
from sgi_files import write_giant; write_giant('$data/giant.rgb')"
printf '%-22s %6s %9s %9s %10s\n' file size seconds cpu_s peak_MiB
for name in header-only.rgb header-only-rle.rgb giant.rgb; do
  for size in 256 1024; do
    read -r seconds cpu kb <<<"$(measure "$thumbnailer" -s "$size" "$data/$name" \
      "$data/thumbnail.png")"
    printf '%-22s %6d %9s %9s %10.1f\n' "$name" "$size" "$seconds" "$cpu" \
      "$(awk "BEGIN{print $kb / 1024}")"
  done
done

echo
echo "4. the converter's peak memory, medians of $runs runs"
printf '%-44s %9s %9s %10s\n' command seconds cpu_s peak_MiB
converter() {
  local label=$1
  shift
  read -r seconds cpu kb <<<"$(measure "$@")"
  printf '%-44s %9s %9s %10.1f\n' "$label" "$seconds" "$cpu" "$(awk "BEGIN{print $kb / 1024}")"
}
for name in header-only.rgb header-only-rle.rgb; do
  converter "lumenor-decode $name" "$decode" "$data/$name"
  converter "lumenor-decode $name -o x.png" "$decode" "$data/$name" -o "$data/x.png"
done
if [ "${BIG:-0}" = 1 ]; then
  for n in 1 2 3; do
    [ -f "$data/big$n.rgb" ] || pnmtile 16000 16000 "$data/plasma.ppm" | pnmtosgi -rle \
      >"$data/big$n.rgb" 2>/dev/null
  done
  mkdir -p "$data/big-out"
  converter "--png-dir, three 16000 x 16000" "$decode" --png-dir "$data/big-out" \
    "$data"/big[123].rgb
  converter "16000 x 16000 -o x.png" "$decode" "$data/big1.rgb" -o "$data/x.png"
fi
