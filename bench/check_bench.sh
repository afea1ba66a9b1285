#!/usr/bin/env bash
# lumenor-decode --check on many frames, page cache warm, with the files made first:
#  1. 10,000 run-length 3840 x 2160 RGB frames whose rows share their data (the tables are most of
#     each file, 52 KB);
#  2. 100,000 small files (16 x 16 grey, uncompressed).
# Median seconds and peak memory of RUNS runs (3 unless given), and the floor of reading every
# file's first 512 bytes and its tables in the same run (cat of the files). Prints figures; passes
# or fails nothing.
#   bench/check_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build/main}
runs=${2:-3}
data=$build/bench-data/check
decode=$build/tools/lumenor-decode
mkdir -p "$data"
python3 - "$data" <<'PY'
import os, sys
root = sys.argv[1]
def header(storage, width, height, channels):
    h = bytearray(512)
    h[0:12] = bytes([1, 0xDA, storage, 1, 0, 3]) + width.to_bytes(2, "big") + height.to_bytes(2, "big") + channels.to_bytes(2, "big")
    return bytes(h)
frames = os.path.join(root, "frames")
if not os.path.exists(os.path.join(frames, "f.09999.rgb")):
    os.makedirs(frames, exist_ok=True)
    width, height, channels = 3840, 2160, 3
    rows = [bytes([127, 20 + c] * (width // 127) + [width % 127, 20 + c, 0]) for c in range(channels)]
    start = 512 + 8 * height * channels
    offsets, lengths, at = b"", b"", start
    for row in rows:
        offsets += at.to_bytes(4, "big") * height
        lengths += len(row).to_bytes(4, "big") * height
        at += len(row)
    data = header(1, width, height, channels) + offsets + lengths + b"".join(rows)
    for n in range(10000):
        with open(os.path.join(frames, "f.%05d.rgb" % n), "wb") as out:
            out.write(data)
small = os.path.join(root, "small")
if not os.path.exists(os.path.join(small, "s.099999.bw")):
    os.makedirs(small, exist_ok=True)
    data = header(0, 16, 16, 1) + bytes(range(256))
    for n in range(100000):
        with open(os.path.join(small, "s.%06d.bw" % n), "wb") as out:
            out.write(data)
PY
measure() {
  local times=() peak=0
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    /usr/bin/time -o "$data/time.txt" -f "%M" "$@" >/dev/null 2>&1 || true
    times+=("$(awk "BEGIN{printf \"%.3f\", $EPOCHREALTIME - $start}")")
    local kb
    kb=$(tail -1 "$data/time.txt")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  printf '%s %s' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")" "$peak"
}
printf '%-44s %9s %9s %10s\n' what files seconds peak_MiB
for set in frames small; do
  count=$(find "$data/$set" -type f | wc -l)
  find "$data/$set" -type f -exec cat {} + >/dev/null  # warm
  read -r floor _ <<<"$(measure sh -c "find '$data/$set' -type f -exec cat {} + >/dev/null")"
  read -r seconds kb <<<"$(measure "$decode" --check "$data/$set")"
  printf '%-44s %9d %9s %10.1f\n' "lumenor-decode --check $set/" "$count" "$seconds" \
    "$(awk "BEGIN{print $kb / 1024}")"
  printf '%-44s %9d %9s %10s\n' "floor: cat of every whole file" "$count" "$floor" -
done
