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
cmake --build "$build" --target fuzz_answer fuzz_listing fuzz_iem_meta -j"$(nproc)" >/dev/null
for f in fuzz_answer fuzz_listing; do
  "$build/fuzz/$f" -max_total_time="${FUZZ_SECONDS:-5}" -max_len=20000 -rss_limit_mb=1024 2>&1 | tail -n 2
done
# The JSON reader starts from files in the iem layout's shape; what it finds goes to the build tree.
mkdir -p "$build/fuzz/iem_meta_found"
"$build/fuzz/fuzz_iem_meta" -max_total_time="${FUZZ_SECONDS:-5}" -max_len=70000 -rss_limit_mb=1024 \
  "$build/fuzz/iem_meta_found" "$top/fuzz/corpus/iem_meta" 2>&1 | tail -n 2
