#!/usr/bin/env bash
# Builds the fuzz targets with clang (when installed) and runs each for a few seconds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz smoke run skipped: clang++ not installed"
  exit 0
fi
build="$top/build-fuzz"
CXX=clang++ CC=clang cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSTORMFETCH_FUZZ=ON -DSTORMFETCH_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_answer fuzz_listing fuzz_loop_journal -j"$(nproc)" >/dev/null
for f in fuzz_answer fuzz_listing fuzz_loop_journal; do
  "$build/fuzz/$f" -max_total_time="${FUZZ_SECONDS:-5}" -max_len=20000 -rss_limit_mb=1024 2>&1 | tail -n 2
done
