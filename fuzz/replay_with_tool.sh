#!/usr/bin/env bash
# Every crasher through lumenor-decode: a picture (exit 0) or a clear message (exit 1), never a
# crash, a hang or an empty message.
set -u
tool=$1 dir=$2 failed=0 count=0
for file in "$dir"/*; do
  [ -f "$file" ] && [ "$(basename "$file")" != README.md ] || continue
  count=$((count + 1))
  err=$(timeout 60 "$tool" "$file" 2>&1 >/dev/null); code=$?
  if [ $code -gt 1 ] || { [ $code -eq 1 ] && [ -z "$err" ]; }; then
    echo "FAIL $(basename "$file"): exit $code"; failed=$((failed + 1))
  fi
done
echo "$count crashers replayed, $failed failed"
[ $failed -eq 0 ]
