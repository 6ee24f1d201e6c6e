#!/usr/bin/env bash
# A long fuzz campaign of one target: builds it in build-asan/ (clang, ASan + UBSan)
# and runs it for SECONDS. New inputs collect in build-asan/fuzz/campaign/TARGET/;
# a crash, hang or leak is written as build-asan/fuzz/crash-*, leak-* or timeout-*.
# Usage: scripts/fuzz.sh TARGET SECONDS     (scripts/fuzz.sh --list names the targets)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-asan"
if [ "${1:-}" = "--list" ] || [ $# -ne 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS; targets:"
  sed -n 's/^stormfetch_fuzzer(\([a-z_0-9]*\) .*/  \1/p' "$top/fuzz/CMakeLists.txt"
  [ "${1:-}" = "--list" ] && exit 0
  exit 2
fi
target=$1 seconds=$2
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSTORMFETCH_SANITIZE=ON -DSTORMFETCH_FUZZ=ON >/dev/null
cmake --build "$build" --target "$target" -j"$(nproc)"
campaign="$build/fuzz/campaign/$target"
mkdir -p "$campaign"
cd "$build/fuzz"
"$top/scripts/sanitizer-env.sh" "./$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$campaign" "$top/fuzz/corpus/$target"
