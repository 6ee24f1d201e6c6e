#!/usr/bin/env bash
# Deterministic replay of one fuzz target: its seed corpus, then a fixed number of
# inputs from a fixed seed. New inputs go to a scratch folder emptied first, so the
# seed corpus in the project is read only and every run starts alike.
# Usage: fuzz/replay.sh BINARY CORPUS_DIR SCRATCH_DIR RUNS
set -euo pipefail
bin=$1 corpus=$2 scratch=$3 runs=$4
top=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$scratch"
mkdir -p "$scratch"
exec "$top/scripts/sanitizer-env.sh" "$bin" -seed=1 -runs="$runs" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$scratch" "$corpus"
